#pragma once
#include "Brief/Brief.h"

#include <string>
#include <vector>

namespace gathra {

// The "Brief Organizer Setup" dialog without widgets: the Properties tab (name and comments) and
// the archive list as it is shown (newest first). Viewing and deleting archived briefs belong to
// the archive dialog's own logic.
class TBriefSetupModel {
public:
    static constexpr int MaxNameCharacters = 60;
    static constexpr int PropertiesTopic = 11;
    static constexpr int ArchiveTopic = 12;

    explicit TBriefSetupModel(const TBrief& brief);

    // The name field's text (at most 60 characters) and the memo's text, lines ending in "\n".
    const std::string& Name() const { return name_; }
    const std::string& CommentsText() const { return comments_; }
    // Archive titles, the newest run first.
    const std::vector<std::string>& ArchiveRows() const { return rows_; }

    // While the brief is generating the name and comments cannot be changed.
    bool PropertiesEnabled() const { return !generating_; }
    bool ArchiveListEnabled() const { return !rows_.empty(); }
    bool ViewEnabled() const { return !rows_.empty(); }
    // Deleting needs the archive dialog's own logic; until then the list is read-only.
    bool DeleteEnabled() const { return false; }
    // "&View Brief" is the default button when there is something to view, else "&Close".
    bool ViewIsDefault() const { return !rows_.empty(); }

    void EditName(std::string text);
    void EditComments(std::string text);

    // The dialog closed with OK: unless the brief is generating, the name and (when edited) the
    // comments go into the brief. Returns true when the brief changed and must be saved.
    bool ApplyOnOk(TBrief& brief) const;

private:
    bool generating_;
    std::string name_;
    std::string comments_;
    bool commentsModified_ = false;
    std::vector<std::string> rows_;
};

// The memo shows comments with "\n" line ends; the brief keeps them with CR LF.
std::string CommentsForMemo(const std::string& stored);
std::string CommentsForBrief(const std::string& memo);

} // namespace gathra
