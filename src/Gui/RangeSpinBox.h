#pragma once
#include <QSpinBox>

class QLabel;

namespace gathra {

// A number field that never changes what the user typed behind their back: a number outside
// its range is refused as it is typed (the field keeps its value) and its hint label says which
// numbers it takes. The hint shows the range all the time ("1 to 99").
class TRangeSpinBox : public QSpinBox {
    Q_OBJECT
public:
    TRangeSpinBox(int minimum, int maximum, QWidget* parent = nullptr);
    // The label beside the field that shows the range, and the refusal when there is one.
    void SetHint(QLabel* hint);
    QLabel* Hint() const { return hint_; }
    // The hint's two texts.
    QString RangeText() const;
    QString RefusalText() const;
    bool Refusing() const { return refusing_; }
    // What the user typed that was refused last (empty for an emptied field).
    const QString& LastRefused() const { return lastRefused_; }

signals:
    void Refused(const QString& typed);

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;

private:
    void ShowHint(bool refused);
    QLabel* hint_ = nullptr;
    bool refusing_ = false;
    QString lastRefused_;
};

} // namespace gathra
