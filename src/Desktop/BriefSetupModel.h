#pragma once
#include "Brief/Brief.h"

#include <string>
#include <vector>

namespace gathra {

// The "Brief Organizer Setup" dialog without widgets: the Properties tab (name and comments) and
// the archive list as it is shown (newest first), with its selection and the enabled states of
// the archive buttons. The files of an archived brief are deleted by DeleteArchivedBrief.
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
    bool ArchiveListEnabled() const { return !rows_.empty() && !busy_; }
    bool ViewEnabled() const { return !rows_.empty() && !busy_; }
    // Delete Brief waits for a click on a row, and is never possible while the brief generates.
    bool DeleteEnabled() const { return deleteEnabled_ && !busy_ && brief_.Generating == 0; }
    bool CloseEnabled() const { return !busy_; }
    bool HelpEnabled() const { return !busy_; }
    // "&View Brief" is the default button when there is something to view, else "&Close".
    bool ViewIsDefault() const { return !rows_.empty(); }

    // The selected row (-1: none) and the archive entry it stands for.
    int SelectedRow() const { return selected_; }
    int SelectedArchiveIndex() const;
    // Selects a row without a click (the dialog opens on the newest run).
    void SelectRow(int row);
    // A click on a row selects it and allows deleting it.
    void ClickRow(int row);
    // Deleting the selected row: while busy every archive control is disabled.
    void BeginDelete() { busy_ = true; }
    // The selected row's archive entry has been removed: the row goes, the row at the same
    // position (or the new last row) is selected, and the controls come back.
    void SelectedRowDeleted();
    bool ArchiveChanged() const { return archiveChanged_; }

    void EditName(std::string text);
    void EditComments(std::string text);

    // The dialog closed with OK: unless the brief is generating, the name and (when edited) the
    // comments go into the brief. Returns true when the brief changed and must be saved (also
    // when only archived briefs were deleted).
    bool ApplyOnOk(TBrief& brief) const;

private:
    const TBrief& brief_;
    bool generating_;
    std::string name_;
    std::string comments_;
    bool commentsModified_ = false;
    std::vector<std::string> rows_;
    int archiveCount_;
    int selected_ = -1;
    bool deleteEnabled_ = false;
    bool busy_ = false;
    bool archiveChanged_ = false;
};

// The memo shows comments with "\n" line ends; the brief keeps them with CR LF.
std::string CommentsForMemo(const std::string& stored);
std::string CommentsForBrief(const std::string& memo);

} // namespace gathra
