#pragma once
#include "Shell/BriefSetupModel.h"

#include <QDialog>
#include <functional>

class QHeaderView;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace gathra {

// "Brief Organizer Setup": the brief's name and comments on the "Properties" tab, its archived
// briefs (newest first) on the "Archived Briefs" tab. The archive list is shown read-only here;
// viewing goes through OnViewBrief and deleting is left to the archive dialog's own logic.
class TBriefOpts : public QDialog {
    Q_OBJECT
public:
    TBriefOpts(const TBrief& brief, QWidget* parent = nullptr);

    TBriefSetupModel& Model() { return model_; }
    // Opens help topic N; by default the program's help window.
    std::function<void(int)> OnHelp;
    // "&View Brief" or a double click: the index into ArchivePaths of the chosen row.
    std::function<void(int)> OnViewBrief;

    QTabWidget* Pages() const { return pages_; }
    QTreeWidget* ArchiveList() const { return list_; }

private:
    void BuildPropertiesPage(QWidget* page);
    void BuildArchivePage(QWidget* page);
    void ViewSelected();

    TBriefSetupModel model_;
    int archiveCount_;
    QTabWidget* pages_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* comments_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* close_ = nullptr;
};

// The brief window's "Brief Organizer Setup...": shows the dialog modally over `parent`; when it
// closes with OK and the brief is not generating, the name and edited comments go into the
// brief. Returns true when the brief changed: the caller then shows the new name and the
// Active / Inactive text in the window header and saves the brief.
bool RunBriefSetup(TBrief& brief, QWidget* parent, std::function<void(int)> onViewBrief = {});

} // namespace gathra
