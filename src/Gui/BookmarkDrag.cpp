#include "Gui/BookmarkDrag.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace gathra {

namespace {

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Text(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

QByteArray EncodeBookmarkDrag(const std::vector<BookmarkEntry>& bookmarks) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << static_cast<quint32>(bookmarks.size());
    for (const BookmarkEntry& b : bookmarks)
        out << Bytes(b.Name) << Bytes(b.Address);
    return data;
}

std::optional<std::vector<BookmarkEntry>> DecodeBookmarkDrag(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasFormat(kBookmarkDragMimeType)) return std::nullopt;
    QDataStream in(mime->data(kBookmarkDragMimeType));
    quint32 count = 0;
    in >> count;
    std::vector<BookmarkEntry> bookmarks;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray name, address;
        in >> name >> address;
        if (in.status() != QDataStream::Ok) break;
        bookmarks.push_back({Text(name), Text(address)});
    }
    if (in.status() != QDataStream::Ok) return std::nullopt;
    return bookmarks;
}

} // namespace gathra
