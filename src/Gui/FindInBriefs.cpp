#include "Gui/FindInBriefs.h"

#include "Brief/Brief.h"
#include "Desktop/ArchivedBriefs.h"
#include "Search/BriefSearch.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace gathra {

namespace {

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kHitsPerBrief = 100;

} // namespace

std::string RunShownAs(const std::string& stamp) {
    const ArchiveRowText row = ArchiveRowTextOf(stamp);
    return row.Date + " " + row.Time;
}

TFindInBriefs::TFindInBriefs(Ports ports, QWidget* parent)
    : QDialog(parent), ports_(std::move(ports)), query_(new QLineEdit(this)),
      scope_(new QComboBox(this)), results_(new QTreeWidget(this)), status_(new QLabel(this)),
      rebuild_(new QPushButton(tr("&Rebuild Index"), this)), typing_(new QTimer(this)) {
    setWindowTitle(tr("Find in Briefs"));
    setAttribute(Qt::WA_DeleteOnClose);
    query_->setPlaceholderText(tr("Words, \"a phrase\", or the start of a word*"));
    query_->setClearButtonEnabled(true);
    scope_->addItem(tr("This brief"));
    scope_->addItem(tr("All open briefs"));
    results_->setColumnCount(4);
    results_->setHeaderLabels({tr("Title"), tr("Entry"), tr("Run"), tr("Found")});
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->header()->setStretchLastSection(true);
    results_->setColumnWidth(0, 220);
    results_->setColumnWidth(1, 120);
    results_->setColumnWidth(2, 150);

    auto* top = new QHBoxLayout;
    top->addWidget(query_, 1);
    top->addWidget(scope_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(rebuild_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(results_, 1);
    layout->addLayout(bottom);
    resize(760, 420);

    typing_->setSingleShot(true);
    typing_->setInterval(150);
    connect(typing_, &QTimer::timeout, this, &TFindInBriefs::SearchNow);
    connect(query_, &QLineEdit::textChanged, this, [this] { typing_->start(); });
    connect(scope_, &QComboBox::currentIndexChanged, this, &TFindInBriefs::SearchNow);
    connect(query_, &QLineEdit::returnPressed, this, &TFindInBriefs::OpenSelected);
    connect(results_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OpenRow(item); });
    connect(rebuild_, &QPushButton::clicked, this, &TFindInBriefs::RebuildIndexes);
}

void TFindInBriefs::SetTypingPause(int ms) {
    typing_->setInterval(ms);
}

void TFindInBriefs::SearchNow() {
    typing_->stop();
    results_->clear();
    rows_.clear();
    const std::string query = query_->text().toStdString();
    const std::vector<const TBrief*> briefs =
        ports_.Briefs ? ports_.Briefs(scope_->currentIndex() == 1) : std::vector<const TBrief*>{};
    if (briefs.empty()) {
        status_->setText(tr("No brief is open."));
        return;
    }
    if (MatchExpression(query).empty()) {
        status_->setText({});
        return;
    }
    QStringList problems;
    SearchRequest request;
    request.Query = query;
    request.Limit = kHitsPerBrief;
    for (const TBrief* brief : briefs) {
        std::vector<SearchHit> hits;
        std::string error;
        if (!SearchBrief(*brief, request, hits, error)) problems << Q(error);
        for (SearchHit& hit : hits)
            rows_.push_back({brief->FileName, std::move(hit)});
    }
    // One list, best first, when several briefs answered.
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const Row& a, const Row& b) { return a.Hit.Rank < b.Hit.Rank; });
    for (size_t i = 0; i < rows_.size(); ++i) {
        const SearchHit& hit = rows_[i].Hit;
        auto* item = new QTreeWidgetItem(results_);
        item->setText(0, Q(hit.Title.empty() ? hit.File : hit.Title));
        item->setText(1, Q(hit.Entry));
        item->setText(2, Q(RunShownAs(hit.Stamp)));
        item->setText(3, Q(MarkedSnippet(hit.Snippet, "[", "]")));
        item->setToolTip(0, Q(hit.Address));
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    }
    if (!rows_.empty()) results_->setCurrentItem(results_->topLevelItem(0));
    QString text = rows_.empty() ? tr("Nothing found.")
                                 : tr("%n page(s) found.", "", static_cast<int>(rows_.size()));
    if (!problems.isEmpty()) text = problems.join("\n");
    status_->setText(text);
}

void TFindInBriefs::OpenRow(QTreeWidgetItem* item) {
    if (item == nullptr || !ports_.Open) return;
    const auto index = item->data(0, Qt::UserRole).toULongLong();
    if (index < rows_.size()) ports_.Open(rows_[index].BriefFile, rows_[index].Hit);
}

void TFindInBriefs::OpenSelected() {
    // Enter right after typing: the hits of what was typed.
    if (typing_->isActive()) SearchNow();
    QTreeWidgetItem* item = results_->currentItem();
    if (item == nullptr) item = results_->topLevelItem(0);
    OpenRow(item);
}

void TFindInBriefs::RebuildIndexes() {
    const std::vector<const TBrief*> briefs =
        ports_.Briefs ? ports_.Briefs(scope_->currentIndex() == 1) : std::vector<const TBrief*>{};
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringList problems;
    std::int64_t pages = 0;
    for (const TBrief* brief : briefs) {
        const ReindexResult result = ReindexBrief(*brief);
        if (!result.Ok)
            problems << Q(
                IndexProblemText(brief->FileName, "could not be rebuilt (" + result.Error + ")"));
        pages += result.Pages;
    }
    QApplication::restoreOverrideCursor();
    SearchNow();
    status_->setText(problems.isEmpty()
                         ? tr("Index rebuilt: %n page(s).", "", static_cast<int>(pages))
                         : problems.join("\n"));
}

} // namespace gathra
