#include "Gui/ByteLimitValidator.h"

#include <QLineEdit>

namespace gathra {

ByteLimitValidator::ByteLimitValidator(qsizetype maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State ByteLimitValidator::validate(QString& input, int&) const {
    const qsizetype bytes = input.toUtf8().size();
    if (bytes <= maxBytes_) return Acceptable;
    // Over the limit: still allow edits that shorten a text that was already too long.
    const auto* edit = qobject_cast<const QLineEdit*>(parent());
    if (edit && bytes < edit->text().toUtf8().size()) return Intermediate;
    return Invalid;
}

void ByteLimitValidator::Attach(QLineEdit* edit, qsizetype maxBytes) {
    // A character is at least one byte, so the byte limit is also a sufficient character limit
    // (the edit's own default of 32,767 characters must not cut in first).
    edit->setMaxLength(static_cast<int>(maxBytes) + 1);
    edit->setValidator(new ByteLimitValidator(maxBytes, edit));
}

} // namespace gathra
