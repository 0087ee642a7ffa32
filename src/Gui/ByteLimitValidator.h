#pragma once
#include <QValidator>

class QLineEdit;

namespace gathra {

// Refuses typing that would make a field's stored (UTF-8) form longer than the store can hold.
// Text that is already too long (filled from an older file) may still be shortened.
class ByteLimitValidator : public QValidator {
public:
    ByteLimitValidator(qsizetype maxBytes, QObject* parent);

    State validate(QString& input, int& pos) const override;
    // Gives `edit` this limit and a character limit that never cuts below it.
    static void Attach(QLineEdit* edit, qsizetype maxBytes);

private:
    qsizetype maxBytes_;
};

} // namespace gathra
