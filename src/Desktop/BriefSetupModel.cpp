#include "Desktop/BriefSetupModel.h"

#include "Desktop/ArchivedBriefs.h"
#include "Text/StoredText.h"

#include <algorithm>

namespace gathra {

TBriefSetupModel::TBriefSetupModel(const TBrief& brief)
    : brief_(brief), generating_(brief.Generating != 0), name_(brief.BriefName),
      comments_(brief.Comments ? CommentsForMemo(*brief.Comments) : std::string()),
      rows_(brief.ArchiveTitles.rbegin(), brief.ArchiveTitles.rend()),
      archiveCount_(static_cast<int>(brief.ArchiveTitles.size())) {}

int TBriefSetupModel::SelectedArchiveIndex() const {
    // Indices count from the list as it was opened: a run that ends while the dialog is open
    // appends behind them.
    return selected_ < 0 ? -1 : ArchiveIndexOfRow(archiveCount_, selected_);
}

void TBriefSetupModel::SelectRow(int row) {
    if (row >= 0 && row < static_cast<int>(rows_.size())) selected_ = row;
}

void TBriefSetupModel::ClickRow(int row) {
    if (busy_ || row < 0 || row >= static_cast<int>(rows_.size())) return;
    selected_ = row;
    deleteEnabled_ = true;
}

void TBriefSetupModel::SelectedRowDeleted() {
    busy_ = false;
    if (selected_ < 0 || selected_ >= static_cast<int>(rows_.size())) return;
    rows_.erase(rows_.begin() + selected_);
    --archiveCount_;
    archiveChanged_ = true;
    if (rows_.empty()) {
        selected_ = -1;
        deleteEnabled_ = false;
        return;
    }
    selected_ = std::min(selected_, static_cast<int>(rows_.size()) - 1);
    deleteEnabled_ = true;
}

void TBriefSetupModel::EditName(std::string text) {
    name_ = CutToCharacters(text, MaxNameCharacters);
}

void TBriefSetupModel::EditComments(std::string text) {
    comments_ = std::move(text);
    commentsModified_ = true;
}

bool TBriefSetupModel::ApplyOnOk(TBrief& brief) const {
    if (brief.Generating != 0) return false;
    // Name and comments were read-only while the dialog showed a generating brief.
    if (generating_) return archiveChanged_;
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
