// Feeds arbitrary bytes to the brief file reader as a ".brf" file in a temporary folder. The
// reader must either load a brief or report the loading error; it must never crash, read out of
// bounds or allocate without bound.
#include "Brief/BriefFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One folder for the whole run; each input overwrites the same brief file.
const std::string& FuzzFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/gathra-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        return std::string(pattern) + "/";
    }();
    return folder;
}

// Only the two messages of the brief file may appear. A legacy file's plain-text credentials are
// saved again at once; that save may be refused (a plain text that will not fit once scrambled),
// which shows the saving error while the load still succeeds.
class CountingDialogs : public gathra::Dialogs {
public:
    void ShowMessage(const std::string& text, const std::string& caption, bool) override {
        if (caption == gathra::kBriefLoadingErrorCaption && text == gathra::kBriefLoadingErrorText)
            ++loadingErrors;
        else if (caption == gathra::kBriefSavingErrorCaption &&
                 text == gathra::kBriefSavingErrorText)
            ++savingErrors;
        else
            std::abort();
    }
    int Ask(const std::string&, const std::string&) override { std::abort(); }
    int loadingErrors = 0;
    int savingErrors = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path = FuzzFolder() + "Fuzz.brf";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    ::unlink((FuzzFolder() + "Fuzz.cat").c_str());

    gathra::TBrief brief;
    brief.FileName = path;
    CountingDialogs dialogs;
    bool loaded = gathra::ReadBriefs2(brief, dialogs);
    // A loaded brief never says the loading error; a failed load says it at most once and never
    // tries to save.
    if (loaded && dialogs.loadingErrors != 0) std::abort();
    if (!loaded && (dialogs.loadingErrors > 1 || dialogs.savingErrors != 0)) std::abort();
    if (dialogs.savingErrors > 1) std::abort();
    if (brief.WebList.Count() > gathra::TWebList::MaxEntries) std::abort();
    return 0;
}
