// A shared library that loads but exports none of the functions the program looks for. Tests put
// copies of it, under the names of the libraries the program opens at run time, first on
// LD_LIBRARY_PATH, to see how the program copes with a library it cannot use.
extern "C" int gathra_decoy_library() {
    return 1;
}
