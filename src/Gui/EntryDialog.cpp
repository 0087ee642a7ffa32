#include "Gui/EntryDialog.h"

#include "Gui/SEProps.h"
#include "Gui/WebProperties.h"
#include "Text/StoredText.h"
#include "Gui/ByteLimitValidator.h"
#include "Gui/DialogParts.h"
#include "Gui/HelpTopics.h"
#include "Gui/MessageDialogs.h"
#include "Gui/RangeSpinBox.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <tuple>

namespace gathra {

namespace {
constexpr int DialogWidth = 404;
constexpr int DialogHeight = 320;
constexpr int GroupLeft = 10;
constexpr int GroupWidth = 370;
constexpr int ButtonTop = 242;

} // namespace

TEntryDialog::TEntryDialog(EntryDialogKind kind, TWebPage& entry, bool editable, Dialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent), model_(entry, kind, editable, dialogs) {
    const bool web = kind == EntryDialogKind::Web;
    setWindowTitle(web ? "Web Page Setup" : "Yahoo! Entry Setup");
    setObjectName(web ? "WebProperties" : "SEProps");
    // A fixed dialog with only the system menu's close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(DialogWidth, DialogHeight);
    OnHelp = [](int topic) { ShowHelpTopic(topic); };

    pages_ = MakeNotebook(this, DialogWidth, DialogHeight);
    const char* titles[] = {"Properties", "Retrieval", "Password"};
    const char* prefixes[] = {"", "RO_", "PW_"};
    for (int i = 0; i < 3; ++i) {
        auto* page = new QWidget();
        page->setObjectName(QString(titles[i]) + "Page");
        pages_->addTab(page, titles[i]);
        if (i == 0) BuildPropertiesPage(page);
        if (i == 1) BuildRetrievalPage(page);
        if (i == 2) BuildPasswordPage(page);
        AddButtonRow(page, i, prefixes[i]);
    }
    KeepPageOkDefault(pages_, ok_);

    if (!editable) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 nameLabel_, name_, urlLabel_, url_, active_, images_, binaries_, depthLabel_,
                 depth_, localOnly_, depthNote_, userLabel_, user_, passwordLabel_, password_})
            if (w) w->setEnabled(false);
    }
    Refresh();
}

void TEntryDialog::BuildPropertiesPage(QWidget* page) {
    const bool web = model_.Kind() == EntryDialogKind::Web;
    // The search dialog shows its lock label above the group, the web dialog inside it.
    // Room above the search group is only needed when the lock label shows.
    const int groupTop = web || !model_.LockVisible() ? 10 : 56;
    propsGroup_ = new QGroupBox(web ? "Web Properties " : "Search Properties ", page);
    propsGroup_->setObjectName("PropertiesGroup");
    propsGroup_->setGeometry(GroupLeft, groupTop, GroupWidth, 222 - groupTop);

    name_ = new QLineEdit(propsGroup_);
    name_->setObjectName(web ? "EditName" : "Query");
    name_->setGeometry(15, 44, GroupWidth - 30, 24);
    ByteLimitValidator::Attach(name_, static_cast<qsizetype>(MaxStoredTextBytes));
    nameLabel_ = MakeBuddyLabel(web ? "Page &Name:" : "&Search Query:", propsGroup_, 15, 26, name_);
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& t) {
        model_.EditName(ToStored(t));
        Refresh();
    });
    int y = 76;
    if (web) {
        url_ = new QLineEdit(propsGroup_);
        url_->setObjectName("EditURL");
        url_->setGeometry(15, 94, GroupWidth - 30, 24);
        ByteLimitValidator::Attach(url_, static_cast<qsizetype>(MaxStoredTextBytes));
        urlLabel_ = MakeBuddyLabel("Page A&ddress:", propsGroup_, 15, 76, url_);
        connect(url_, &QLineEdit::textEdited, this, [this](const QString& t) {
            model_.EditAddress(ToStored(t));
            Refresh();
        });
        y = 126;
    }
    active_ = new QCheckBox(web ? "&Active" : "Ac&tive", propsGroup_);
    active_->setObjectName("Active");
    active_->move(15, y);
    active_->adjustSize();
    connect(active_, &QCheckBox::clicked, this, [this](bool on) {
        model_.EditActive(on);
        Refresh();
    });

    isLocked_ = new QLabel("Locked Entry", web ? static_cast<QWidget*>(propsGroup_) : page);
    isLocked_->setObjectName("IsLocked");
    QFont font = isLocked_->font();
    font.setBold(true);
    isLocked_->setFont(font);
    QPalette palette = isLocked_->palette();
    palette.setColor(QPalette::WindowText, Qt::gray);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
    isLocked_->setPalette(palette);
    isLocked_->move(0, web ? 160 : 8);
    isLocked_->setVisible(false);
    if (model_.LockVisible()) {
        isLocked_->setText(FromStored(model_.Entry().LockedText));
        font.setPointSize(std::clamp<int>(model_.Entry().LockedTextSize, 1, MaxLockPoints));
        isLocked_->setFont(font);
        isLocked_->setVisible(true);
    }
}

void TEntryDialog::BuildRetrievalPage(QWidget* page) {
    auto* options = new QGroupBox("Retrieval Options ", page);
    options->setObjectName("RetrievalGroup");
    options->setGeometry(GroupLeft, 10, GroupWidth, 74);
    images_ = new QCheckBox("&Images && Plug-ins", options);
    images_->setObjectName("ImageToggle");
    images_->move(15, 22);
    images_->adjustSize();
    binaries_ = new QCheckBox("&Other Files", options);
    binaries_->setObjectName("LoadBinaries");
    binaries_->move(15, 46);
    binaries_->adjustSize();

    auto* spider = new QGroupBox("Spider Options ", page);
    spider->setObjectName("SpiderGroup");
    spider->setGeometry(GroupLeft, 92, GroupWidth, 138);
    depth_ = new TRangeSpinBox(TEntryDialogModel::MinDepth, TEntryDialogModel::MaxDepth, spider);
    depth_->setObjectName("DepthOfSearch");
    depth_->setValue(1);
    depth_->setGeometry(120, 20, 60, 24);
    auto* depthHint = new QLabel(spider);
    depthHint->setObjectName("DepthHint");
    depthHint->move(188, 24);
    depth_->SetHint(depthHint);
    depthLabel_ = MakeBuddyLabel("&Spider Depth:", spider, 15, 24, depth_);
    localOnly_ = new QCheckBox("&Follow External Links", spider);
    localOnly_->setObjectName("LocalOnly");
    localOnly_->move(15, 50);
    localOnly_->adjustSize();
    depthNote_ = new QLabel("Spider Depths above 5 are not usually recommended, since they may "
                            "result in the retrieval of thousands of pages.",
                            spider);
    depthNote_->setObjectName("DepthNote");
    depthNote_->setWordWrap(true);
    depthNote_->setGeometry(15, 76, GroupWidth - 30, 52);

    connect(images_, &QCheckBox::clicked, this, [this](bool on) {
        model_.EditImages(on);
        Refresh();
    });
    connect(binaries_, &QCheckBox::clicked, this, [this](bool on) {
        model_.EditBinaries(on);
        Refresh();
    });
    connect(localOnly_, &QCheckBox::clicked, this, [this](bool on) {
        model_.EditFollowExternal(on);
        Refresh();
    });
    connect(depth_, &QSpinBox::valueChanged, this, [this](int value) {
        if (refreshing_) return;
        model_.EditDepth(value);
        Refresh();
    });
}

void TEntryDialog::BuildPasswordPage(QWidget* page) {
    const bool web = model_.Kind() == EntryDialogKind::Web;
    auto* group = new QGroupBox("Set Password ", page);
    group->setObjectName("PasswordGroup");
    group->setGeometry(GroupLeft, 10, GroupWidth, 130);
    // User names and passwords are stored scrambled, which makes them a third longer.
    const PasswordEdits edits =
        MakePasswordEdits(group, 150, 26, static_cast<qsizetype>(MaxScrambledPlainBytes),
                          web ? "C&onfirm Password:" : "Co&nfirm Password:");
    std::tie(user_, userLabel_, password_, passwordLabel_, confirm_, confirmLabel_) = edits.All();
    ConnectPasswordEdits(this, edits, model_, [this] { Refresh(); });
}

void TEntryDialog::AddButtonRow(QWidget* page, int index, const char* prefix) {
    const auto i = static_cast<size_t>(index);
    const QString p(prefix);
    const PageButtons row = MakePageButtons(page, ButtonTop, p + "OKButton", p + "CancelButton",
                                            p + "ApplyButton", p + "HelpButton");
    ok_[i] = row.Ok;
    cancel_[i] = row.Cancel;
    apply_[i] = row.Apply;
    help_[i] = row.Help;
    connect(ok_[i], &QPushButton::clicked, this, &TEntryDialog::OkButtonClick);
    connect(cancel_[i], &QPushButton::clicked, this, &QDialog::reject);
    connect(apply_[i], &QPushButton::clicked, this, &TEntryDialog::ApplyClick);
    connect(help_[i], &QPushButton::clicked, this, [this, index] {
        const EntryDialogTopics t = TopicsFor(model_.Kind());
        const int topic = index == 0 ? t.Properties : index == 1 ? t.Retrieval : t.Password;
        if (OnHelp) OnHelp(topic);
    });
}

void TEntryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FitLockLabel();
    model_.Activate();
    Refresh();
}

void TEntryDialog::FitLockLabel() {
    if (!model_.LockVisible()) return;
    const bool web = model_.Kind() == EntryDialogKind::Web;
    QFont font = isLocked_->font();
    const QString text = isLocked_->text();
    auto measure = [&](int points) {
        QFont f = font;
        f.setPointSize(points);
        const QFontMetrics metrics(f);
        return std::pair{metrics.horizontalAdvance(text), metrics.height()};
    };
    // Inside the web dialog's group the label must stay above the group's bottom; above the
    // search dialog's group it must stay above the group's top.
    const int top = isLocked_->y();
    const int height = web ? propsGroup_->height() : propsGroup_->y() + 3;
    const int width = propsGroup_->width();
    const LockLabelFit fit = gathra::FitLockLabel(font.pointSize(), top, width, height, measure);
    font.setPointSize(fit.PointSize);
    isLocked_->setFont(font);
    const auto [w, h] = measure(fit.PointSize);
    isLocked_->setGeometry((web ? 0 : propsGroup_->x()) + std::max(0, fit.Left), top, w, h);
}

void TEntryDialog::Refresh() {
    refreshing_ = true;
    const EntryDialogInputs& in = model_.Inputs();
    auto setText = [](QLineEdit* edit, const std::string& value) {
        if (!edit) return;
        const QString shown = FromStored(value);
        if (edit->text() != shown) edit->setText(shown);
    };
    setText(name_, in.Name);
    setText(url_, in.Address);
    setText(user_, in.UserName);
    setText(password_, in.Password);
    setText(confirm_, in.Confirm);
    active_->setChecked(in.Active);
    images_->setChecked(in.Images);
    binaries_->setChecked(in.Binaries);
    localOnly_->setChecked(in.FollowExternal);
    depth_->setValue(in.Depth);
    const bool confirm = model_.ConfirmEnabled() && model_.Editable();
    confirm_->setEnabled(confirm);
    confirmLabel_->setEnabled(confirm);
    for (QPushButton* b : apply_)
        b->setEnabled(model_.ApplyEnabled());
    refreshing_ = false;
}

void TEntryDialog::ApplyClick() {
    model_.Apply();
    Refresh();
}

void TEntryDialog::OkButtonClick() {
    const bool close = model_.Ok();
    Refresh();
    if (close) accept();
}

std::string TEntryDialog::NameField() const {
    return ToStored(name_->text());
}

void RunEntrySetup(TWebPage& entry, bool briefGenerating, Dialogs& dialogs, QWidget* parent,
                   std::function<void()> selectEntry) {
    const bool editable = TEntryDialogModel::EditableFor(entry, briefGenerating);
    std::unique_ptr<TEntryDialog> dialog;
    if (entry.IsSearchEntry())
        dialog = std::make_unique<TSEProps>(entry, editable, dialogs, parent);
    else
        dialog = std::make_unique<TWebProperties>(entry, editable, dialogs, parent);
    dialog->Model().SelectEntry = std::move(selectEntry);
    ExecAsFrontForm(*dialog);
    // A read-only dialog changed nothing, and during a run the entry must not change under the
    // run's feet.
    if (editable) FinishEntryDialog(entry, dialog->Applied(), dialog->NameField());
}

} // namespace gathra
