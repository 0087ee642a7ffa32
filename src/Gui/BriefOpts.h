#pragma once
#include "Platform/Dialogs.h"
#include "Desktop/BriefSetupModel.h"

#include <QDialog>
#include <functional>

class QHeaderView;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace gathra {

class TArchiveList;

// "Brief Organizer Setup": the brief's name and comments on the "Properties" tab, its archived
// briefs (newest first) on the "Archived Briefs" tab, where a run is viewed (through
// OnViewBrief) or deleted with its files.
class TBriefOpts : public QDialog {
    Q_OBJECT
public:
    TBriefOpts(TBrief& brief, QWidget* parent = nullptr);

    TBriefSetupModel& Model() { return model_; }
    // Opens help topic N; by default the program's help window.
    std::function<void(int)> OnHelp;
    // "&View Brief" or a double click: the index into ArchivePaths of the chosen row.
    std::function<void(int)> OnViewBrief;
    // The "Delete Archived Brief?" question goes here; by default the shared question dialog.
    Dialogs* Questions = nullptr;

    QTabWidget* Pages() const { return pages_; }
    TArchiveList* ArchiveList() const { return list_; }
    QHeaderView* ArchiveHeader() const { return header_; }
    // "&Delete Brief": asks, then deletes the selected run's files and its archive entry.
    void DeleteSelected();

protected:
    void reject() override;

private:
    void BuildPropertiesPage(QWidget* page);
    void BuildArchivePage(QWidget* page);
    void ViewSelected();
    // Shows the model's enabled states, default button and selection on the archive page.
    void ShowArchiveState();

    TBrief& brief_;
    TBriefSetupModel model_;
    QTabWidget* pages_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* comments_ = nullptr;
    QHeaderView* header_ = nullptr;
    TArchiveList* list_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* archiveHelp_ = nullptr;
};

// The brief window's "Brief Organizer Setup...": shows the dialog modally over `parent`; when it
// closes with OK and the brief is not generating, the name and edited comments go into the
// brief. Returns true when the brief changed: the caller then shows the new name and the
// Active / Inactive text in the window header and saves the brief.
// Deleting archived briefs changes the brief's archive lists at once; they are saved with the
// brief when the dialog closes with OK or at its next save.
bool RunBriefSetup(TBrief& brief, QWidget* parent, std::function<void(int)> onViewBrief = {},
                   Dialogs* questions = nullptr);

} // namespace gathra
