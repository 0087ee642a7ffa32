#include "Shell/ui/BriefOpts.h"

#include "Shell/StoredText.h"
#include "Shell/ui/DialogParts.h"
#include "Shell/ui/HelpTopics.h"
#include "Shell/ui/MessageDialogs.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTreeWidget>

namespace gathra {

namespace {
constexpr int DialogWidth = 404;
constexpr int DialogHeight = 320;
constexpr int GroupWidth = 370;
constexpr int ButtonTop = 242;

QPushButton* MakeButton(const char* text, const char* name, QWidget* page, int x) {
    return MakeRowButton(text, name, page, x, ButtonTop);
}
} // namespace

TBriefOpts::TBriefOpts(const TBrief& brief, QWidget* parent)
    : QDialog(parent), model_(brief), archiveCount_(static_cast<int>(brief.ArchiveTitles.size())) {
    setObjectName("BriefOpts");
    setWindowTitle("Brief Organizer Setup");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(DialogWidth, DialogHeight);
    OnHelp = [](int topic) { ShowHelpTopic(topic); };

    pages_ = MakeNotebook(this, DialogWidth, DialogHeight);
    auto* properties = new QWidget();
    properties->setObjectName("PropertiesPage");
    pages_->addTab(properties, "Properties");
    BuildPropertiesPage(properties);
    auto* archive = new QWidget();
    archive->setObjectName("ArchivePage");
    pages_->addTab(archive, "Archived Briefs");
    BuildArchivePage(archive);
}

void TBriefOpts::BuildPropertiesPage(QWidget* page) {
    auto* group = new QGroupBox("Information ", page);
    group->setObjectName("InformationGroup");
    group->setGeometry(10, 10, GroupWidth, 222);
    name_ = new QLineEdit(group);
    name_->setObjectName("BriefName");
    name_->setMaxLength(TBriefSetupModel::MaxNameCharacters);
    name_->setGeometry(90, 24, GroupWidth - 105, 24);
    name_->setText(FromStored(model_.Name()));
    auto* nameLabel = new QLabel("&Brief:", group);
    nameLabel->setObjectName("BriefNameLabel");
    nameLabel->move(15, 28);
    nameLabel->adjustSize();
    nameLabel->setBuddy(name_);
    auto* commentsLabel = new QLabel("Comments:", group);
    commentsLabel->setObjectName("CommentsLabel");
    commentsLabel->move(15, 58);
    commentsLabel->adjustSize();
    comments_ = new QPlainTextEdit(group);
    comments_->setObjectName("BriefComments");
    comments_->setGeometry(15, 76, GroupWidth - 30, 134);
    comments_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    comments_->setPlainText(FromStored(model_.CommentsText()));

    connect(name_, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.EditName(ToStored(t)); });
    connect(comments_, &QPlainTextEdit::textChanged, this, [this] {
        // A memo longer than the brief file can store is cut back to what fits.
        std::string text = ToStored(comments_->toPlainText());
        if (CommentsForBrief(text).size() > MaxStoredTextBytes) {
            comments_->undo();
            return;
        }
        model_.EditComments(std::move(text));
    });

    if (!model_.PropertiesEnabled())
        for (QWidget* w :
             std::initializer_list<QWidget*>{name_, nameLabel, comments_, commentsLabel})
            w->setEnabled(false);

    auto* ok = MakeButton("&OK", "ApplyButton", page, 14);
    auto* cancel = MakeButton("&Cancel", "CancelButton", page, 106);
    auto* help = MakeButton("&Help", "HelpButton", page, 198);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        if (OnHelp) OnHelp(TBriefSetupModel::PropertiesTopic);
    });
}

void TBriefOpts::BuildArchivePage(QWidget* page) {
    auto* group = new QGroupBox("Brief List ", page);
    group->setObjectName("BriefListGroup");
    group->setGeometry(10, 10, GroupWidth, 222);
    // Date and time columns under a fixed header; the title is split at its first blanks.
    list_ = new QTreeWidget(group);
    list_->setObjectName("ListBox2");
    list_->setGeometry(15, 24, GroupWidth - 30, 186);
    list_->setColumnCount(2);
    list_->setHeaderLabels({"Date", "Time"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionResizeMode(QHeaderView::Fixed);
    list_->header()->setSectionsClickable(false);
    list_->header()->setSectionsMovable(false);
    list_->header()->resizeSection(0, 121);
    list_->header()->setStretchLastSection(true);
    for (const std::string& title : model_.ArchiveRows()) {
        const QString shown = FromStored(title);
        const qsizetype blank = shown.indexOf(QRegularExpression("[ \\t]"));
        const QString date = blank < 0 ? shown : shown.left(blank);
        const QString time = blank < 0 ? QString() : shown.mid(blank).trimmed();
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{date, time}));
    }
    list_->setEnabled(model_.ArchiveListEnabled());
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));

    view_ = MakeButton("&View Brief", "ViewBrief", page, 14);
    delete_ = MakeButton("&Delete Brief", "DeleteBrief", page, 106);
    close_ = MakeButton("&Close", "ViewBriefClose", page, 198);
    auto* help = MakeButton("&Help", "ViewBriefHelp", page, 290);
    view_->setEnabled(model_.ViewEnabled());
    delete_->setEnabled(model_.DeleteEnabled());
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1) (model_.ViewIsDefault() ? view_ : close_)->setDefault(true);
    });
    connect(view_, &QPushButton::clicked, this, &TBriefOpts::ViewSelected);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &TBriefOpts::ViewSelected);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this, [this] {
        if (OnHelp) OnHelp(TBriefSetupModel::ArchiveTopic);
    });
}

void TBriefOpts::ViewSelected() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0) return;
    // Rows are shown newest first: row i stands for archive entry n - 1 - i.
    if (OnViewBrief) OnViewBrief(archiveCount_ - 1 - row);
    accept();
}

bool RunBriefSetup(TBrief& brief, QWidget* parent, std::function<void(int)> onViewBrief) {
    TBriefOpts dialog(brief, parent);
    dialog.OnViewBrief = std::move(onViewBrief);
    if (ExecAsFrontForm(dialog) != QDialog::Accepted) return false;
    return dialog.Model().ApplyOnOk(brief);
}

} // namespace gathra
