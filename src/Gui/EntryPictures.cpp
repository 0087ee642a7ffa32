#include "Gui/EntryPictures.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace gathra {
namespace {

// A small sunken box with a tick, on the row's own background so that it blends in.
QPixmap MakeCheck(const QColor& background, const QColor& tick, const QColor& box) {
    QImage image(17, 16, QImage::Format_ARGB32);
    image.fill(background);
    QPainter p(&image);
    p.setPen(box);
    p.drawRect(1, 1, 13, 13);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(tick, 2.2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    QPolygonF mark;
    mark << QPointF(4, 7.5) << QPointF(7, 10.5) << QPointF(15.5, 2);
    p.drawPolyline(mark);
    p.end();
    return QPixmap::fromImage(image);
}

QBrush MakeSearchPattern() {
    QImage image(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixelColor(x, y, ((x + y) % 2 == 0) ? RowWhite : RowYellow);
    return QBrush(QPixmap::fromImage(image));
}

// An arrow with a small page under it; the copy cursor adds a plus sign.
QPixmap MakeDragCursor(bool copy) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPolygon arrow;
    arrow << QPoint(0, 0) << QPoint(0, 15) << QPoint(4, 11) << QPoint(7, 17) << QPoint(9, 16)
          << QPoint(6, 10) << QPoint(11, 10);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
    p.setBrush(Qt::white);
    p.drawRect(10, 18, 14, 10);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(12, 21, 22, 21);
    p.drawLine(12, 24, 20, 24);
    if (copy) {
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(21, 13, 8, 8);
        p.drawLine(23, 17, 27, 17);
        p.drawLine(25, 15, 25, 19);
    }
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

const EntryPictures& EntryPictures::Get() {
    static const EntryPictures pictures = [] {
        EntryPictures p;
        p.UnhighlightedCheck = MakeCheck(RowWhite, Qt::black, QColor(128, 128, 128));
        p.HighlightedCheck = MakeCheck(RowGrey, Qt::white, QColor(200, 200, 200));
        p.SearchCheck = MakeCheck(RowYellow, Qt::black, QColor(128, 128, 0));
        p.SearchHighlightCheck = MakeCheck(RowNavy, Qt::white, QColor(128, 128, 192));
        p.SearchPattern = MakeSearchPattern();
        p.DragCopy = MakeDragCursor(true);
        p.DragMove = MakeDragCursor(false);
        return p;
    }();
    return pictures;
}

const QPixmap& EntryPictures::CheckFor(const QColor& background) const {
    if (background == RowWhite) return UnhighlightedCheck;
    if (background == RowGrey) return HighlightedCheck;
    if (background == RowYellow) return SearchCheck;
    return SearchHighlightCheck;
}

} // namespace gathra
