#include "Gui/RangeSpinBox.h"

#include "Gui/MessageDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace gathra {

TRangeSpinBox::TRangeSpinBox(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setToolTip(RangeText());
    connect(this, &QSpinBox::valueChanged, this, [this] {
        if (refusing_) ShowHint(false);
    });
    // Any accepted edit ends the refusal, even one that keeps the value.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        if (refusing_) ShowHint(false);
    });
    connect(this, &TRangeSpinBox::Refused, this, [this](const QString& typed) {
        lastRefused_ = typed.trimmed();
        ShowHint(true);
    });
}

void TRangeSpinBox::SetHint(QLabel* hint) {
    hint_ = hint;
    ShowHint(false);
}

QString TRangeSpinBox::RangeText() const {
    return tr("%1 to %2").arg(minimum()).arg(maximum());
}

QString TRangeSpinBox::RefusalText() const {
    return tr("Only %1 to %2").arg(minimum()).arg(maximum());
}

QValidator::State TRangeSpinBox::validate(QString& text, int& pos) const {
    const QString typed = text.trimmed();
    bool number = false;
    const qlonglong value = typed.toLongLong(&number);
    if (!typed.isEmpty() && (!number || value < minimum() || value > maximum())) {
        // Out of range, or not a number at all: the key is refused and the hint says why.
        emit const_cast<TRangeSpinBox*>(this)->Refused(typed);
        return QValidator::Invalid;
    }
    return QSpinBox::validate(text, pos);
}

void TRangeSpinBox::fixup(QString& text) const {
    // An emptied field goes back to its value; say so rather than change it silently.
    if (text.trimmed().isEmpty()) emit const_cast<TRangeSpinBox*>(this)->Refused(text);
    QSpinBox::fixup(text);
}

void TRangeSpinBox::ShowHint(bool refused) {
    refusing_ = refused;
    if (refused) Beep();
    if (hint_ == nullptr) return;
    hint_->setText(refused ? RefusalText() : RangeText());
    hint_->setStyleSheet(refused ? QStringLiteral("color: #c00000; font-weight: bold;")
                                 : QString());
    hint_->adjustSize();
}

} // namespace gathra
