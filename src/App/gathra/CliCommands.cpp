#include "App/gathra/CliCommands.h"

#include "Brief/BriefFile.h"

namespace gathra {

void CliState::Fail(int status, const std::string& text) {
    Err << "gathra: " << text << "\n";
    Status = status;
}

bool LoadBriefFile(const std::string& path, TBrief& brief, CliState& state) {
    brief = TBrief();
    brief.FileName = path;
    int said = state.Messages.Said();
    if (ReadBriefs2(brief, state.Messages)) return true;
    if (state.Messages.Said() == said)
        state.Fail(CliExitBriefFailed, "cannot load " + path);
    else
        state.Status = CliExitBriefFailed;
    return false;
}

bool SaveBriefFile(TBrief& brief, CliState& state) {
    std::string problem = BriefFileLimitProblem(brief);
    if (!problem.empty()) state.Err << "gathra: " << problem << "\n";
    if (SaveBriefs2(brief, state.Messages)) return true;
    state.Status = CliExitBriefFailed;
    return false;
}

} // namespace gathra
