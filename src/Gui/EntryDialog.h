#pragma once
#include "Desktop/EntryDialogModel.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace gathra {

class TRangeSpinBox;

// The common body of the two entry dialogs: three pages ("Properties", "Retrieval",
// "Password"), each with its own OK / Cancel / Apply / Help row. Every decision is made by
// TEntryDialogModel; this class holds the widgets, forwards the user's edits and repaints.
class TEntryDialog : public QDialog {
    Q_OBJECT
public:
    TEntryDialog(EntryDialogKind kind, TWebPage& entry, bool editable, Dialogs& dialogs,
                 QWidget* parent);

    TEntryDialogModel& Model() { return model_; }
    // The name (query) field's text as it would be stored.
    std::string NameField() const;
    bool Applied() const { return model_.Applied(); }

    // Opens help topic N; by default the program's help window.
    std::function<void(int)> OnHelp;

    QTabWidget* Pages() const { return pages_; }
    const std::array<QPushButton*, 3>& OkButtons() const { return ok_; }
    const std::array<QPushButton*, 3>& CancelButtons() const { return cancel_; }
    const std::array<QPushButton*, 3>& ApplyButtons() const { return apply_; }
    const std::array<QPushButton*, 3>& HelpButtons() const { return help_; }
    QLabel* LockLabel() const { return isLocked_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildPropertiesPage(QWidget* page);
    void BuildRetrievalPage(QWidget* page);
    void BuildPasswordPage(QWidget* page);
    void AddButtonRow(QWidget* page, int index, const char* prefix);
    void FitLockLabel();
    void Refresh();
    void ApplyClick();
    void OkButtonClick();

    TEntryDialogModel model_;
    bool shown_ = false;
    bool refreshing_ = false;

    QTabWidget* pages_ = nullptr;
    QGroupBox* propsGroup_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* urlLabel_ = nullptr;
    QLineEdit* url_ = nullptr;
    QCheckBox* active_ = nullptr;
    QLabel* isLocked_ = nullptr;
    QCheckBox* images_ = nullptr;
    QCheckBox* binaries_ = nullptr;
    QLabel* depthLabel_ = nullptr;
    TRangeSpinBox* depth_ = nullptr;
    QCheckBox* localOnly_ = nullptr;
    QLabel* depthNote_ = nullptr;
    QLabel* userLabel_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLabel* passwordLabel_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* confirmLabel_ = nullptr;
    QLineEdit* confirm_ = nullptr;
    std::array<QPushButton*, 3> ok_{}, cancel_{}, apply_{}, help_{};
};

// The brief window's "Entry Setup" for one entry: opens the web or search dialog after the
// entry's kind, modally over `parent`, then updates the shown name and the depth label. The
// caller saves the brief afterwards (it always should: an Apply may have changed the entry).
// `selectEntry` is called by the search dialog before it applies.
void RunEntrySetup(TWebPage& entry, bool briefGenerating, Dialogs& dialogs, QWidget* parent,
                   std::function<void()> selectEntry = {});

} // namespace gathra
