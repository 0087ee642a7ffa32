#include "Gui/ArchiveList.h"

#include "Desktop/ArchivedBriefs.h"
#include "Gui/MessageDialogs.h"

#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>

namespace gathra {

namespace {

constexpr int TitleRole = Qt::UserRole + 1;
// The width of a digit in the font the row layout was made for.
constexpr double kLayoutDigitWidth = 6.0;
constexpr int kDateColumnWidth = 121;

int RowHeightFor(const QFont& font) {
    return std::max(TArchiveList::RowHeight, QFontMetrics(font).height() + 4);
}

class ArchiveRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->fillRect(option.rect, selected ? QColor(0, 0, 128) : QColor(Qt::white));
        painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
        painter->setFont(option.font);
        const QFontMetrics metrics(option.font);
        const double scale = ArchiveColumnScale(option.font);
        const QByteArray stored = index.data(TitleRole).toByteArray();
        const int left = option.rect.left();
        for (const ArchiveRowPiece& piece :
             ArchiveRowPieces(std::string(stored.constData(), stored.size()))) {
            const QString text = FromStored(piece.Text);
            const int at = static_cast<int>(std::lround(piece.X * scale));
            const int x = piece.RightAligned ? at - metrics.horizontalAdvance(text) : at;
            painter->drawText(QRect(left + x, option.rect.top(), 400, option.rect.height()),
                              Qt::AlignLeft | Qt::AlignVCenter, text);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), RowHeightFor(option.font)};
    }
};

} // namespace

TArchiveList::TArchiveList(QWidget* parent) : QListWidget(parent) {
    setObjectName("ListBox2");
    setItemDelegate(new ArchiveRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
}

void TArchiveList::SetTitles(const std::vector<std::string>& titles) {
    clear();
    for (const std::string& title : titles) {
        auto* item = new QListWidgetItem(this);
        item->setData(TitleRole, QByteArray(title.data(), static_cast<qsizetype>(title.size())));
        // The plain text is what accessibility tools and tests read.
        const ArchiveRowText text = ArchiveRowTextOf(title);
        item->setText(FromStored(text.Date + " " + text.Time));
        item->setSizeHint(QSize(0, RowHeightInFont()));
    }
}

std::string TArchiveList::TitleOf(int row) const {
    const QListWidgetItem* it = item(row);
    if (it == nullptr) return {};
    const QByteArray stored = it->data(TitleRole).toByteArray();
    return std::string(stored.constData(), static_cast<size_t>(stored.size()));
}

int TArchiveList::RowHeightInFont() const {
    return RowHeightFor(font());
}

double ArchiveColumnScale(const QFont& font) {
    return std::max(1.0,
                    QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) / kLayoutDigitWidth);
}

QHeaderView* MakeArchiveHeader(QWidget* parent) {
    auto* header = new QHeaderView(Qt::Horizontal, parent);
    header->setObjectName("ArchiveHeader");
    auto* model = new QStandardItemModel(0, 2, header);
    model->setHorizontalHeaderLabels({"Date", "Time"});
    header->setModel(model);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    // "Time" takes the rest of the width, so that neither it nor its columns are cut.
    header->setStretchLastSection(true);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->resizeSection(
        0, static_cast<int>(std::lround(kDateColumnWidth * ArchiveColumnScale(header->font()))));
    return header;
}

} // namespace gathra
