#include "Gui/BriefOpts.h"

#include "Desktop/ArchivedBriefs.h"
#include "Text/StoredText.h"
#include "Gui/ArchiveList.h"
#include "Gui/DialogParts.h"
#include "Gui/HelpTopics.h"
#include "Gui/MessageDialogs.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

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

TBriefOpts::TBriefOpts(TBrief& brief, QWidget* parent)
    : QDialog(parent), brief_(brief), model_(brief) {
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
        if (const size_t bytes = CommentsForBrief(text).size(); bytes > MaxStoredTextBytes) {
            comments_->undo();
            // Said once the edit that was refused has been taken back.
            const std::string said = "The comments can hold at most " +
                                     std::to_string(MaxStoredTextBytes) +
                                     " bytes, and this would have made them " +
                                     std::to_string(bytes) + " bytes long. The text was not added.";
            if (Questions != nullptr)
                Questions->ShowMessage(said, "Comments Too Long", false);
            else
                ShowMessage(said, "Comments Too Long", false);
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
    header_ = MakeArchiveHeader(group);
    const int headerHeight = header_->sizeHint().height();
    header_->setGeometry(15, 24, GroupWidth - 30, headerHeight);
    list_ = new TArchiveList(group);
    list_->setGeometry(15, 24 + headerHeight, GroupWidth - 30, 186 - headerHeight);
    list_->SetTitles(model_.ArchiveRows());
    // The newest run is selected for View Brief; deleting waits for a click on a row.
    model_.SelectRow(0);

    view_ = MakeButton("&View Brief", "ViewBrief", page, 14);
    delete_ = MakeButton("&Delete Brief", "DeleteBrief", page, 106);
    close_ = MakeButton("&Close", "ViewBriefClose", page, 198);
    archiveHelp_ = MakeButton("&Help", "ViewBriefHelp", page, 290);
    ShowArchiveState();
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1) (model_.ViewIsDefault() ? view_ : close_)->setDefault(true);
    });
    connect(list_, &QListWidget::itemPressed, this, [this](QListWidgetItem* item) {
        model_.ClickRow(list_->row(item));
        ShowArchiveState();
    });
    // The keyboard moves the selection as a click does.
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != model_.SelectedRow()) {
            model_.ClickRow(row);
            ShowArchiveState();
        }
    });
    connect(view_, &QPushButton::clicked, this, &TBriefOpts::ViewSelected);
    connect(list_, &QListWidget::itemDoubleClicked, this, &TBriefOpts::ViewSelected);
    connect(delete_, &QPushButton::clicked, this, &TBriefOpts::DeleteSelected);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(archiveHelp_, &QPushButton::clicked, this, [this] {
        if (OnHelp) OnHelp(TBriefSetupModel::ArchiveTopic);
    });
}

void TBriefOpts::ShowArchiveState() {
    list_->setEnabled(model_.ArchiveListEnabled());
    view_->setEnabled(model_.ViewEnabled());
    delete_->setEnabled(model_.DeleteEnabled());
    close_->setEnabled(model_.CloseEnabled());
    archiveHelp_->setEnabled(model_.HelpEnabled());
    (model_.ViewIsDefault() ? view_ : close_)->setDefault(true);
    if (!model_.ViewIsDefault()) view_->setDefault(false);
    const int row = model_.SelectedRow();
    if (row >= 0 && list_->currentRow() != row) {
        const QSignalBlocker quiet(list_);
        list_->setCurrentRow(row);
    }
}

void TBriefOpts::ViewSelected() {
    const int index = model_.SelectedArchiveIndex();
    if (index < 0) return;
    if (OnViewBrief) OnViewBrief(index);
    accept();
}

void TBriefOpts::DeleteSelected() {
    const int index = model_.SelectedArchiveIndex();
    if (index < 0 || !model_.DeleteEnabled()) return;
    QtDialogs shared;
    Dialogs& ask = Questions != nullptr ? *Questions : shared;
    const std::string title = static_cast<size_t>(index) < brief_.ArchiveTitles.size()
                                  ? brief_.ArchiveTitles[static_cast<size_t>(index)]
                                  : std::string();
    if (ask.Ask(ArchiveDeleteQuestion(title), kArchiveDeleteCaption) != 0) return;
    model_.BeginDelete();
    ShowArchiveState();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A run of thousands of files takes a while: the dialog keeps painting meanwhile.
    const ArchiveDeleteResult deleted =
        DeleteArchivedBrief(brief_, index, [] { QCoreApplication::processEvents(); });
    const int row = model_.SelectedRow();
    model_.SelectedRowDeleted();
    {
        const QSignalBlocker quiet(list_);
        delete list_->takeItem(row);
    }
    ShowArchiveState();
    QApplication::restoreOverrideCursor();
    if (!deleted.IndexProblem.empty()) ask.ShowMessage(deleted.IndexProblem, "Search Index", true);
}

void TBriefOpts::reject() {
    // Not while a delete is walking its catalogue: the walk needs the dialog.
    if (!model_.CloseEnabled()) return;
    QDialog::reject();
}

bool RunBriefSetup(TBrief& brief, QWidget* parent, std::function<void(int)> onViewBrief,
                   Dialogs* questions) {
    TBriefOpts dialog(brief, parent);
    dialog.OnViewBrief = std::move(onViewBrief);
    dialog.Questions = questions;
    if (ExecAsFrontForm(dialog) != QDialog::Accepted) return false;
    return dialog.Model().ApplyOnOk(brief);
}

} // namespace gathra
