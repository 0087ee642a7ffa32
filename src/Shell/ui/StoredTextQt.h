#pragma once
#include "Shell/StoredText.h"

#include <QString>
#include <string>

namespace gathra::ui {

// Stored 8-bit text shown in a widget: UTF-8 when it is valid UTF-8, else Windows-1252.
inline QString ShowStored(const std::string& bytes) {
    const std::string utf8 = StoredTextAsUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// What the user typed, as it is stored: UTF-8.
inline std::string StoreTyped(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace gathra::ui
