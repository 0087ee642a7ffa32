#pragma once
#include "Desktop/PreferencesModel.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace gathra {

// The preferences dialog: "General" (browser, disk space), "Proxy" and "Brief" (retries,
// default password) tabs, each with OK / Cancel / Apply / Help. TPreferencesModel decides;
// applying goes through the settings store's ApplyPreferences given as the applier.
class TSKPrefs : public QDialog {
    Q_OBJECT
public:
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
    const std::array<QPushButton*, 3>& OkButtons() const { return ok_; }
    const std::array<QPushButton*, 3>& CancelButtons() const { return cancel_; }
    const std::array<QPushButton*, 3>& ApplyButtons() const { return apply_; }
    const std::array<QPushButton*, 3>& HelpButtons() const { return help_; }

private:
    void BuildGeneralPage(QWidget* page);
    void BuildProxyPage(QWidget* page);
    void BuildBriefPage(QWidget* page);
    void BuildPagesGroup(QWidget* page);
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
    QCheckBox* checkCertificates_ = nullptr;
    QCheckBox* keepResources_ = nullptr;
    QLabel* retriesLabel_ = nullptr;
    QSpinBox* retries_ = nullptr;
    QLabel* userLabel_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLabel* passwordLabel_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* confirmLabel_ = nullptr;
    QLineEdit* confirm_ = nullptr;
    std::array<QPushButton*, 3> ok_{}, cancel_{}, apply_{}, help_{};
};

// Opens the preferences dialog modally over `parent` ("Please Setup the Browser" on the first
// start). Returns true when it was closed with OK.
bool RunPreferences(const AppSettings& settings, bool firstStart, bool runInProgress,
                    TPreferencesModel::Applier apply, QWidget* parent);

} // namespace gathra
