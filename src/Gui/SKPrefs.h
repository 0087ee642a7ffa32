#pragma once
#include "Desktop/PreferencesModel.h"

#include <QDialog>
#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace gathra {

// The preferences dialog: "General" (browser, disk space), "Proxy", "Brief" (retries, default
// password) and "Retrieval" tabs, each with OK / Cancel / Apply / Help. TPreferencesModel
// decides; applying goes through the settings store's ApplyPreferences given as the applier.
class TSKPrefs : public QDialog {
    Q_OBJECT
public:
    static constexpr size_t PageCount = 4;
    using PageButtonSet = std::array<QPushButton*, PageCount>;

    TSKPrefs(const AppSettings& settings, bool firstStart, bool runInProgress,
             TPreferencesModel::Applier apply, QWidget* parent = nullptr);

    TPreferencesModel& Model() { return model_; }
    // Opens help topic N; by default the program's help window.
    std::function<void(int)> OnHelp;

    // Where "Find..." starts; the settings' ProgramFolder is the fall-back.
    QString FindStartFolder() const;
    // "Find...": the "Find Browser" open dialog; a chosen file goes into the location field.
    void FindButtonClick();

    QTabWidget* Pages() const { return pages_; }
    const PageButtonSet& OkButtons() const { return ok_; }
    const PageButtonSet& CancelButtons() const { return cancel_; }
    const PageButtonSet& ApplyButtons() const { return apply_; }
    const PageButtonSet& HelpButtons() const { return help_; }

private:
    void BuildGeneralPage(QWidget* page);
    void BuildProxyPage(QWidget* page);
    void BuildBriefPage(QWidget* page);
    void BuildRetrievalPage(QWidget* page);
    // The next row of the "Retrieval" tab: `field` (with its label, if any, at its left);
    // `show` puts the model's value into it at every refresh. A run reads these settings, so
    // the row is locked during one.
    void AddRetrievalRow(QWidget* field, QLabel* label, std::function<void()> show);
    // A check box row shown from `field` of the model's values and edited through `edit`.
    QCheckBox* AddRetrievalCheck(const char* text, const char* name, bool PreferencesInput::*field,
                                 void (TPreferencesModel::*edit)(bool));
    void AddButtonRow(QWidget* page, int index, const char* applyName);
    void Refresh();
    // True, after naming the field and the numbers it takes, when a number field refused what
    // was typed last: OK and Apply then do nothing, so that the value is not dropped unseen.
    bool RefusedNumber();

    TPreferencesModel model_;
    std::string programFolder_;
    bool refreshing_ = false;

    QTabWidget* pages_ = nullptr;
    QLineEdit* browser_ = nullptr;
    QCheckBox* autoLoad_ = nullptr;
    QPushButton* find_ = nullptr;
    QLabel* diskLabel_ = nullptr;
    QSpinBox* disk_ = nullptr;
    QLabel* serverLabel_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QSpinBox* port_ = nullptr;
    QGroupBox* retrieval_ = nullptr;
    QFormLayout* retrievalRows_ = nullptr;
    std::vector<QWidget*> runLocked_;                  // the retrieval rows' fields and labels
    std::vector<std::function<void()>> retrievalShow_; // each row shows its value
    QLabel* retriesLabel_ = nullptr;
    QSpinBox* retries_ = nullptr;
    QSpinBox* connections_ = nullptr;
    QLabel* userLabel_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLabel* passwordLabel_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* confirmLabel_ = nullptr;
    QLineEdit* confirm_ = nullptr;
    PageButtonSet ok_{}, cancel_{}, apply_{}, help_{};
};

// Opens the preferences dialog modally over `parent` ("Please Setup the Browser" on the first
// start). Returns true when it was closed with OK.
bool RunPreferences(const AppSettings& settings, bool firstStart, bool runInProgress,
                    TPreferencesModel::Applier apply, QWidget* parent);

} // namespace gathra
