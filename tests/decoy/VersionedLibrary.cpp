// A library with two versions of one function, as a library that changed a function's interface
// keeps both: GATHRA_1 (the old one) and GATHRA_2 (the default the unversioned lookup finds).
// Tests open it to see that a versioned lookup gets the version it asks for.
extern "C" int gathra_versioned_old() {
    return 1;
}
extern "C" int gathra_versioned_new() {
    return 2;
}
__asm__(".symver gathra_versioned_old,gathra_versioned@GATHRA_1");
__asm__(".symver gathra_versioned_new,gathra_versioned@@GATHRA_2");
