#include "Gui/ToolIcons.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace gathra {
namespace {

const QColor Ink(40, 40, 40);
const QColor Paper(255, 255, 255);
const QColor Folder(230, 190, 70);
const QColor Blue(40, 90, 170);
const QColor Green(50, 140, 60);

void Page(QPainter& p, int x, int y, int w, int h) {
    QPolygon outline;
    outline << QPoint(x, y) << QPoint(x + w - 4, y) << QPoint(x + w, y + 4) << QPoint(x + w, y + h)
            << QPoint(x, y + h);
    p.setPen(Ink);
    p.setBrush(Paper);
    p.drawPolygon(outline);
    p.drawLine(x + w - 4, y, x + w - 4, y + 4);
    p.drawLine(x + w - 4, y + 4, x + w, y + 4);
}

void Globe(QPainter& p, QRectF r) {
    p.setPen(QPen(Blue, 1.2));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() * 0.3, 0, -r.width() * 0.3, 0));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

void Lines(QPainter& p, int x, int y, int w, int n) {
    p.setPen(QColor(140, 140, 140));
    for (int i = 0; i < n; ++i)
        p.drawLine(x, y + 2 * i, x + w, y + 2 * i);
}

} // namespace

// One case for each button's picture: the drawings stay together as one table.
QIcon ToolIcon(Command button) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    switch (button) {
    case Command::NewFileButton:
        Page(p, 3, 1, 10, 14);
        break;
    case Command::OpenFileButton:
        p.setPen(Ink);
        p.setBrush(Folder);
        p.drawRect(1, 4, 13, 10);
        p.drawRect(1, 3, 5, 1);
        p.setBrush(QColor(250, 220, 120));
        p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 14), QPoint(1, 14)}));
        break;
    case Command::CutButton:
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Ink, 1.2));
        p.drawLine(QPointF(5, 1), QPointF(10, 10));
        p.drawLine(QPointF(11, 1), QPointF(6, 10));
        p.setPen(QPen(QColor(180, 30, 30), 1.5));
        p.drawEllipse(QRectF(2.5, 10, 4, 4));
        p.drawEllipse(QRectF(9.5, 10, 4, 4));
        break;
    case Command::CopyButton:
        Page(p, 1, 1, 8, 10);
        Page(p, 6, 5, 8, 10);
        Lines(p, 8, 9, 4, 3);
        break;
    case Command::PasteButton:
        p.setPen(Ink);
        p.setBrush(QColor(170, 120, 60));
        p.drawRect(1, 2, 10, 13);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(4, 1, 4, 2);
        Page(p, 6, 6, 9, 9);
        break;
    case Command::CreateWebEntryButton:
        p.setRenderHint(QPainter::Antialiasing);
        Globe(p, QRectF(1.5, 1.5, 11, 11));
        p.setPen(QPen(Green, 2));
        p.drawLine(12, 10, 12, 16);
        p.drawLine(9, 13, 15, 13);
        break;
    case Command::CreateYahooEntryButton:
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(QColor(255, 245, 150));
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(QColor(120, 80, 30), 2.5));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        break;
    case Command::GetBrowserUrlButton:
        p.setPen(Ink);
        p.setBrush(Paper);
        p.drawRect(1, 2, 14, 12);
        p.setBrush(Blue);
        p.drawRect(1, 2, 14, 3);
        p.setPen(QPen(Green, 2));
        p.drawLine(8, 7, 8, 13);
        p.drawLine(5, 10, 11, 10);
        break;
    case Command::GenerateBriefsButton:
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(150, 100, 0), 1));
        p.setBrush(QColor(255, 200, 40));
        p.drawPolygon(
            QPolygonF({QPointF(9, 0.5), QPointF(3, 9), QPointF(7.5, 9), QPointF(5.5, 15.5),
                       QPointF(13, 6), QPointF(8.5, 6), QPointF(11, 0.5)}));
        break;
    case Command::ShowBriefButton:
        p.setPen(Ink);
        p.setBrush(Paper);
        p.drawRect(1, 3, 6, 11);
        p.drawRect(8, 3, 6, 11);
        Lines(p, 2, 6, 4, 3);
        Lines(p, 9, 6, 4, 3);
        p.setPen(Blue);
        p.drawLine(7, 2, 7, 14);
        break;
    default:
        break;
    }
    p.end();
    return QIcon(pixmap);
}

QPixmap ProgramBanner(int width, int height) {
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(0, 0, 128));
    sky.setColorAt(1, QColor(40, 110, 190));
    p.fillRect(pixmap.rect(), sky);
    // a stack of three pages, the brief
    int s = height * 6 / 10;
    int x0 = height / 5, y0 = (height - s) / 2;
    for (int i = 2; i >= 0; --i) {
        QRect page(x0 + i * s / 8, y0 + i * s / 10, s * 3 / 4, s);
        p.setPen(QColor(60, 60, 60));
        p.setBrush(i == 0 ? QColor(255, 255, 255) : QColor(225, 225, 225));
        p.drawRect(page);
    }
    p.setPen(QPen(QColor(255, 200, 40), std::max(2, height / 20)));
    p.drawLine(x0 + s / 8, y0 + s / 3, x0 + s / 2, y0 + s / 3);
    p.drawLine(x0 + s / 8, y0 + s / 2, x0 + s * 3 / 5, y0 + s / 2);
    p.drawLine(x0 + s / 8, y0 + s * 2 / 3, x0 + s * 2 / 5, y0 + s * 2 / 3);
    int textLeft = x0 + s + height / 5;
    int room = width - textLeft - height / 8;
    // The largest type that fits the room beside the pages.
    auto fitted = [&](QFont font, const QString& text, int size) {
        for (; size > 6; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).horizontalAdvance(text) <= room) break;
        }
        font.setPixelSize(size);
        return font;
    };
    const QString name = QStringLiteral("Gathra Light");
    const QString motto = QStringLiteral("Your web briefs, ready to read off-line");
    QFont title("Sans Serif");
    title.setBold(true);
    p.setFont(fitted(title, name, height * 2 / 5));
    p.setPen(Qt::white);
    p.drawText(QRect(textLeft, 0, room, height * 58 / 100), Qt::AlignLeft | Qt::AlignBottom, name);
    QFont italic("Sans Serif");
    italic.setItalic(true);
    p.setFont(fitted(italic, motto, height / 6));
    p.setPen(QColor(255, 230, 140));
    p.drawText(QRect(textLeft, height * 60 / 100, room, height * 35 / 100),
               Qt::AlignLeft | Qt::AlignTop, motto);
    p.end();
    return pixmap;
}

} // namespace gathra
