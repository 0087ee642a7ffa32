#include "Gui/SKPrefs.h"

#include "Gui/ByteLimitValidator.h"
#include "Gui/DialogParts.h"
#include "Gui/HelpTopics.h"
#include "Gui/MessageDialogs.h"
#include "Gui/RangeSpinBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTabWidget>
#include <tuple>

#include <algorithm>

namespace gathra {

namespace {
constexpr int DialogWidth = 404;
constexpr int DialogHeight = 300;
constexpr int GroupLeft = 10;
constexpr int GroupWidth = 370;
constexpr int ButtonTop = 222;

// Shows folders and the files the user may run.
class ExecutablesOnly : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files == nullptr) return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }
};

// The group grows with its rows, up to the button row.
void FitGroup(QGroupBox* group) {
    const int height = std::min(group->sizeHint().height(), ButtonTop - 20);
    group->setGeometry(GroupLeft, 10, GroupWidth, height);
}

// A number field that refuses numbers outside its range as they are typed (see RefusedNumber).
QSpinBox* MakeSpin(const char* name, QWidget* parent, int min, int max, QRect geometry) {
    auto* spin = new TRangeSpinBox(min, max, parent);
    spin->setObjectName(name);
    spin->setGeometry(geometry);
    return spin;
}
} // namespace

TSKPrefs::TSKPrefs(const AppSettings& settings, bool firstStart, bool runInProgress,
                   TPreferencesModel::Applier apply, QWidget* parent)
    : QDialog(parent), model_(settings, firstStart, runInProgress, std::move(apply)),
      programFolder_(settings.ProgramFolder) {
    setObjectName("SKPrefs");
    setWindowTitle(QString::fromStdString(model_.Caption()));
    // A fixed dialog without system buttons: it is left with OK or Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(DialogWidth, DialogHeight);
    OnHelp = [](int topic) { ShowHelpTopic(topic); };

    pages_ = MakeNotebook(this, DialogWidth, DialogHeight);
    const char* titles[PageCount] = {"General", "Proxy", "Brief", "Retrieval"};
    const char* applyNames[PageCount] = {"BrowserApply", "ProxyApply", "BriefApply",
                                         "RetrievalApply"};
    for (int i = 0; i < static_cast<int>(PageCount); ++i) {
        auto* page = new QWidget();
        page->setObjectName(QString(titles[i]) + "Page");
        pages_->addTab(page, titles[i]);
        if (i == 0) BuildGeneralPage(page);
        if (i == 1) BuildProxyPage(page);
        if (i == 2) BuildBriefPage(page);
        if (i == 3) BuildRetrievalPage(page);
        AddButtonRow(page, i, applyNames[i]);
    }
    KeepPageOkDefault(pages_, ok_);

    // During a run the brief run reads these settings without locks: only the browser may change.
    if (!model_.RunFieldsEnabled()) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 server_, serverLabel_, port_, portLabel_, retries_, retriesLabel_, disk_,
                 diskLabel_, user_, userLabel_, password_, passwordLabel_})
            w->setEnabled(false);
        for (QWidget* w : runLocked_)
            w->setEnabled(false);
    }
    Refresh();
}

void TSKPrefs::BuildGeneralPage(QWidget* page) {
    auto* web = new QGroupBox("Web Browser ", page);
    web->setObjectName("BrowserGroup");
    web->setGeometry(GroupLeft, 10, GroupWidth, 118);
    browser_ = new QLineEdit(web);
    browser_->setObjectName("Browser");
    browser_->setGeometry(15, 42, GroupWidth - 30, 24);
    ByteLimitValidator::Attach(browser_, TPreferencesModel::MaxSettingBytes);
    MakeBuddyLabel("&Location:", web, 15, 22, browser_);
    autoLoad_ = new QCheckBox("&Auto Load at Startup", web);
    autoLoad_->setObjectName("AutoLoad");
    autoLoad_->move(15, 80);
    autoLoad_->adjustSize();
    find_ = new QPushButton("&Find...", web);
    find_->setObjectName("FindButton");
    find_->setGeometry(GroupWidth - 99, 76, 84, 28);

    auto* space = new QGroupBox("Disk Space ", page);
    space->setObjectName("DiskGroup");
    space->setGeometry(GroupLeft, 136, GroupWidth, 66);
    disk_ = MakeSpin("DiskBuffer", space, static_cast<int>(TPreferencesModel::MinDiskBuffer),
                     static_cast<int>(TPreferencesModel::MaxDiskBuffer), QRect(250, 26, 100, 24));
    diskLabel_ = MakeBuddyLabel("&Minimum disk space (MB):", space, 15, 30, disk_);

    connect(browser_, &QLineEdit::textEdited, this, [this](const QString& t) {
        model_.EditBrowser(ToStored(t));
        Refresh();
    });
    connect(autoLoad_, &QCheckBox::clicked, this, [this](bool on) {
        model_.EditAutoLoad(on);
        Refresh();
    });
    connect(find_, &QPushButton::clicked, this, &TSKPrefs::FindButtonClick);
    connect(disk_, &QSpinBox::valueChanged, this, [this](int v) {
        if (refreshing_) return;
        model_.EditDiskBuffer(v);
        Refresh();
    });
}

void TSKPrefs::BuildProxyPage(QWidget* page) {
    auto* proxy = new QGroupBox("HTTP Proxy", page);
    proxy->setObjectName("ProxyGroup");
    proxy->setGeometry(GroupLeft, 10, GroupWidth, 92);
    server_ = new QLineEdit(proxy);
    server_->setObjectName("ProxyServer");
    server_->setGeometry(90, 26, GroupWidth - 105, 24);
    ByteLimitValidator::Attach(server_, TPreferencesModel::MaxSettingBytes);
    serverLabel_ = MakeBuddyLabel("&Server:", proxy, 15, 30, server_);
    port_ = MakeSpin("ProxyPort", proxy, TPreferencesModel::MinPort, TPreferencesModel::MaxPort,
                     QRect(90, 60, 90, 24));
    portLabel_ = MakeBuddyLabel("&Port:", proxy, 15, 64, port_);

    connect(server_, &QLineEdit::textEdited, this, [this](const QString& t) {
        model_.EditProxyServer(ToStored(t));
        Refresh();
    });
    connect(port_, &QSpinBox::valueChanged, this, [this](int v) {
        if (refreshing_) return;
        model_.EditProxyPort(v);
        Refresh();
    });
}

void TSKPrefs::BuildRetrievalPage(QWidget* page) {
    retrieval_ = new QGroupBox("Retrieval ", page);
    retrieval_->setObjectName("RetrievalGroup");
    retrievalRows_ = new QFormLayout(retrieval_);
    retrievalRows_->setContentsMargins(15, 12, 15, 12);
    retrievalRows_->setVerticalSpacing(10);
    retrievalRows_->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    // The retrieval settings, one line each, in the order they are shown.
    AddRetrievalCheck("Check cer&tificates", "CheckCertificates",
                      &PreferencesInput::CheckCertificates,
                      &TPreferencesModel::EditCheckCertificates);
    AddRetrievalCheck("&Keep page styles and scripts", "KeepPageResources",
                      &PreferencesInput::KeepPageResources,
                      &TPreferencesModel::EditKeepPageResources);
    // How pages are fetched: kept connections, several at once, unless the classic way is asked.
    AddRetrievalCheck("C&lassic transfers", "ClassicTransfers",
                      &PreferencesInput::ClassicTransfers,
                      &TPreferencesModel::EditClassicTransfers);
    connections_ = MakeSpin("ConnectionsPerSite", retrieval_, AppSettings::MinConnectionsPerSite,
                            AppSettings::MaxConnectionsPerSite, QRect(0, 0, 60, 24));
    AddRetrievalRow(connections_, new QLabel("Co&nnections per site:", retrieval_), [this] {
        connections_->setValue(model_.Values().ConnectionsPerSite);
        connections_->setEnabled(model_.RunFieldsEnabled() && !model_.Values().ClassicTransfers);
    });
    connect(connections_, &QSpinBox::valueChanged, this, [this](int v) {
        if (refreshing_) return;
        model_.EditConnectionsPerSite(v);
        Refresh();
    });
}

void TSKPrefs::AddRetrievalRow(QWidget* field, QLabel* label, std::function<void()> show) {
    if (label != nullptr) {
        label->setBuddy(field);
        retrievalRows_->addRow(label, field);
        runLocked_.push_back(label);
    } else {
        retrievalRows_->addRow(field);
    }
    runLocked_.push_back(field);
    retrievalShow_.push_back(std::move(show));
    FitGroup(retrieval_);
}

QCheckBox* TSKPrefs::AddRetrievalCheck(const char* text, const char* name,
                                       bool PreferencesInput::*field,
                                       void (TPreferencesModel::*edit)(bool)) {
    auto* box = new QCheckBox(text, retrieval_);
    box->setObjectName(name);
    AddRetrievalRow(box, nullptr, [this, box, field] { box->setChecked(model_.Values().*field); });
    connect(box, &QCheckBox::clicked, this, [this, edit](bool on) {
        (model_.*edit)(on);
        Refresh();
    });
    return box;
}

void TSKPrefs::BuildBriefPage(QWidget* page) {
    auto* retries = new QGroupBox("Retries ", page);
    retries->setObjectName("RetriesGroup");
    retries->setGeometry(GroupLeft, 10, GroupWidth, 60);
    retries_ = MakeSpin("NumRetries", retries, TPreferencesModel::MinRetries,
                        TPreferencesModel::MaxRetries, QRect(160, 24, 60, 24));
    retriesLabel_ = MakeBuddyLabel("&Number of Retries:", retries, 15, 28, retries_);

    auto* group = new QGroupBox("Default Password ", page);
    group->setObjectName("PasswordGroup");
    group->setGeometry(GroupLeft, 76, GroupWidth, 130);
    const PasswordEdits edits =
        MakePasswordEdits(group, 160, 24, TPreferencesModel::MaxSecretBytes, "C&onfirm Password:");
    std::tie(user_, userLabel_, password_, passwordLabel_, confirm_, confirmLabel_) = edits.All();

    connect(retries_, &QSpinBox::valueChanged, this, [this](int v) {
        if (refreshing_) return;
        model_.EditRetries(v);
        Refresh();
    });
    ConnectPasswordEdits(this, edits, model_, [this] { Refresh(); });
}

void TSKPrefs::AddButtonRow(QWidget* page, int index, const char* applyName) {
    const auto i = static_cast<size_t>(index);
    const QString prefix = page->objectName().left(page->objectName().size() - 4);
    const PageButtons row = MakePageButtons(page, ButtonTop, prefix + "OK", prefix + "Cancel",
                                            applyName, prefix + "Help");
    ok_[i] = row.Ok;
    cancel_[i] = row.Cancel;
    apply_[i] = row.Apply;
    help_[i] = row.Help;
    connect(ok_[i], &QPushButton::clicked, this, [this] {
        if (RefusedNumber()) return;
        const bool close = model_.Ok();
        Refresh();
        if (close) accept();
    });
    connect(cancel_[i], &QPushButton::clicked, this, &QDialog::reject);
    connect(apply_[i], &QPushButton::clicked, this, [this] {
        if (RefusedNumber()) return;
        model_.Apply();
        Refresh();
    });
    const int topics[PageCount] = {TPreferencesModel::GeneralTopic, TPreferencesModel::ProxyTopic,
                                   TPreferencesModel::BriefTopic,
                                   TPreferencesModel::RetrievalTopic};
    const int topic = topics[i];
    connect(help_[i], &QPushButton::clicked, this, [this, topic] {
        if (OnHelp) OnHelp(topic);
    });
}

bool TSKPrefs::RefusedNumber() {
    const std::pair<QSpinBox*, QLabel*> fields[] = {
        {disk_, diskLabel_}, {port_, portLabel_}, {retries_, retriesLabel_}};
    for (const auto& [spin, label] : fields) {
        auto* range = qobject_cast<TRangeSpinBox*>(spin);
        if (range == nullptr || !range->Refusing()) continue;
        QString name = label->text().remove('&');
        if (name.endsWith(':')) name.chop(1);
        const QString typed = range->LastRefused().isEmpty()
                                  ? tr("an empty field")
                                  : QStringLiteral("\"%1\"").arg(range->LastRefused());
        for (QWidget* w = spin; w != nullptr; w = w->parentWidget())
            if (pages_->indexOf(w) >= 0) pages_->setCurrentWidget(w);
        ShowMessage(ToStored(tr("\"%1\" takes a number from %2 only, so %3 was not taken. "
                                "Type a number in that range, or choose Cancel.")
                                 .arg(name, range->RangeText(), typed)),
                    "Preferences Error", false);
        spin->setFocus();
        spin->selectAll();
        return true;
    }
    return false;
}

void TSKPrefs::Refresh() {
    refreshing_ = true;
    const PreferencesInput& v = model_.Values();
    auto setText = [](QLineEdit* edit, const std::string& value) {
        const QString shown = FromStored(value);
        if (edit->text() != shown) edit->setText(shown);
    };
    setText(browser_, v.BrowserLocation);
    setText(server_, v.ProxyServer);
    setText(user_, v.UserName);
    setText(password_, v.Password);
    setText(confirm_, v.Confirm);
    autoLoad_->setChecked(v.AutoLoad);
    for (const auto& show : retrievalShow_)
        show();
    disk_->setValue(static_cast<int>(v.DiskBufferMegaBytes));
    port_->setValue(v.ProxyPort);
    retries_->setValue(v.Retries);
    port_->setEnabled(model_.PortEnabled());
    portLabel_->setEnabled(model_.PortEnabled());
    confirm_->setEnabled(model_.ConfirmEnabled());
    confirmLabel_->setEnabled(model_.ConfirmEnabled());
    for (QPushButton* b : apply_)
        b->setEnabled(model_.ApplyEnabled());
    refreshing_ = false;
}

QString TSKPrefs::FindStartFolder() const {
    const std::string folder = FindBrowserStartFolder(
        model_.Values().BrowserLocation, programFolder_,
        [](const std::string& f) { return QDir(QString::fromStdString(f)).exists(); });
    return QString::fromStdString(folder);
}

void TSKPrefs::FindButtonClick() {
    QFileDialog dialog(this, "Find Browser", FindStartFolder());
    dialog.setObjectName("FindBrowser");
    // Programs here have no ".EXE": executable files are told by their permission instead.
    dialog.setNameFilter("Executable Files (*)");
    dialog.setProxyModel(new ExecutablesOnly(&dialog));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (ExecAsFrontForm(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().first());
    browser_->setText(chosen);
    model_.EditBrowser(ToStored(chosen));
    Refresh();
}

bool RunPreferences(const AppSettings& settings, bool firstStart, bool runInProgress,
                    TPreferencesModel::Applier apply, QWidget* parent) {
    TSKPrefs dialog(settings, firstStart, runInProgress, std::move(apply), parent);
    return ExecAsFrontForm(dialog) == QDialog::Accepted;
}

} // namespace gathra
