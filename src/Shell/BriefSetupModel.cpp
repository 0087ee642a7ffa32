#include "Shell/BriefSetupModel.h"

#include "Shell/StoredText.h"

namespace gathra {

TBriefSetupModel::TBriefSetupModel(const TBrief& brief)
    : generating_(brief.Generating != 0), name_(brief.BriefName),
      comments_(brief.Comments ? CommentsForMemo(*brief.Comments) : std::string()),
      rows_(brief.ArchiveTitles.rbegin(), brief.ArchiveTitles.rend()) {}

void TBriefSetupModel::EditName(std::string text) {
    name_ = CutToCharacters(text, MaxNameCharacters);
}

void TBriefSetupModel::EditComments(std::string text) {
    comments_ = std::move(text);
    commentsModified_ = true;
}

bool TBriefSetupModel::ApplyOnOk(TBrief& brief) const {
    if (generating_ || brief.Generating != 0) return false;
    brief.BriefName = name_;
    if (commentsModified_) brief.Comments = CommentsForBrief(comments_);
    return true;
}

std::string CommentsForMemo(const std::string& stored) {
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n') continue;
        out += stored[i];
    }
    return out;
}

std::string CommentsForBrief(const std::string& memo) {
    std::string out;
    out.reserve(memo.size() + memo.size() / 16);
    for (std::size_t i = 0; i < memo.size(); ++i) {
        if (memo[i] == '\n' && (i == 0 || memo[i - 1] != '\r')) out += '\r';
        out += memo[i];
    }
    return out;
}

} // namespace gathra
