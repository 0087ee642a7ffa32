#include "Gui/MessageDialogs.h"

#include "Text/StoredText.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

namespace gathra {
namespace {

QPointer<QWidget> mainForm;
QPointer<QWidget> frontForm;

constexpr int LabelLeft = 58;
constexpr int LabelTop = 15;
constexpr int LabelWidth = 334;
constexpr int LabelHeight = 36;
constexpr int ButtonTop = 60;
constexpr int DialogWidth = 404;
constexpr int DialogHeight = 96;

QLabel* MakeIcon(QDialog* dialog, QStyle::StandardPixmap which) {
    auto* icon = new QLabel(dialog);
    icon->setPixmap(dialog->style()->standardIcon(which).pixmap(32, 32));
    icon->setGeometry(10, 15, 32, 32);
    return icon;
}

QLabel* MakeText(QDialog* dialog, const QString& text) {
    auto* label = new QLabel(text, dialog);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(LabelLeft, LabelTop, LabelWidth, LabelHeight);
    return label;
}

// How far the wrapped text runs below the place of the buttons (0 when it fits).
int Overrun(QLabel* label) {
    int textHeight = label->heightForWidth(LabelWidth);
    if (textHeight <= LabelHeight) return 0;
    label->resize(LabelWidth, textHeight);
    int bottom = LabelTop + textHeight;
    return bottom > ButtonTop ? bottom + 5 - ButtonTop : 0;
}

} // namespace

void SetMainForm(QWidget* main) {
    mainForm = main;
    frontForm = main;
}
QWidget* MainForm() {
    return mainForm;
}
QWidget* FrontForm() {
    return frontForm ? frontForm.data() : mainForm.data();
}
void SetFrontForm(QWidget* form) {
    frontForm = form;
}

void CentreOnMainForm(QWidget* dialog) {
    QRect area;
    if (mainForm && mainForm->isVisible())
        area = mainForm->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    QSize size = dialog->size();
    dialog->move(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2);
}

QWidget* DialogOwner() {
    QWidget* front = FrontForm();
    if (front != nullptr && front != mainForm && !front->isVisible()) front = mainForm;
    return front;
}

void KeepAbove(QWidget* window, QWidget* owner) {
    if (owner == nullptr) owner = DialogOwner();
    if (owner == nullptr || owner == window) return;
    Qt::WindowFlags flags = window->windowFlags();
    const Qt::WindowFlags type = flags & Qt::WindowType_Mask;
    if (type == Qt::Window || type == Qt::Widget)
        flags = (flags & ~Qt::WindowType_Mask) | Qt::Dialog;
    if (window->parentWidget() == nullptr) {
        const bool visible = window->isVisible();
        window->setParent(owner, flags);
        if (visible) window->show();
    } else if (flags != window->windowFlags()) {
        window->setWindowFlags(flags);
    }
    // A window belongs to the owner it was made for, but a help window opened from a dialog
    // must stay above that dialog: the transient parent follows the owner.
    window->winId();
    if (QWindow* handle = window->windowHandle()) {
        QWindow* ownerHandle = owner->window()->windowHandle();
        if (ownerHandle != nullptr && handle->transientParent() != ownerHandle) {
            const bool visible = window->isVisible();
            if (visible) window->hide();
            handle->setTransientParent(ownerHandle);
            if (visible) window->show();
        }
    }
}

QWidget* FirstField(QWidget* dialog) {
    // A file dialog's first field is its file name, ready for typing.
    if (qobject_cast<QFileDialog*>(dialog) != nullptr)
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name != nullptr && name->isVisibleTo(dialog) && name->isEnabled())
            return name;
    QWidget* firstFocusable = nullptr;
    QWidget* defaultButton = nullptr;
    QWidget* w = dialog;
    // The focus chain is a ring: stop when it comes back round.
    for (int guard = 0; guard < 10000; ++guard) {
        w = w->nextInFocusChain();
        if (w == nullptr || w == dialog) break;
        if (!dialog->isAncestorOf(w) || !w->isVisibleTo(dialog) || !w->isEnabled() ||
            (w->focusPolicy() & Qt::TabFocus) == 0 || qobject_cast<QTabBar*>(w) != nullptr ||
            qobject_cast<QTabWidget*>(w) != nullptr)
            continue;
        if (firstFocusable == nullptr) firstFocusable = w;
        auto* button = qobject_cast<QPushButton*>(w);
        if (button == nullptr) return w;
        if (button->isDefault() && defaultButton == nullptr) defaultButton = button;
    }
    return defaultButton != nullptr ? defaultButton : firstFocusable;
}

namespace {

// Puts the keyboard focus into a dialog's first field once the dialog is on screen (a dialog's
// own show handling may move it first).
class FirstFieldFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* dialog = static_cast<QWidget*>(watched);
            QPointer<QWidget> field = FirstField(dialog);
            QTimer::singleShot(0, dialog, [field] {
                if (field) field->setFocus(Qt::OtherFocusReason);
            });
            deleteLater();
        }
        return false;
    }
};

} // namespace

int ExecAsFrontForm(QDialog& dialog) {
    QPointer<QWidget> previous = FrontForm();
    KeepAbove(&dialog);
    // Modal to the main window only: the help window stays usable beside the dialog.
    dialog.setWindowModality(dialog.parentWidget() != nullptr ? Qt::WindowModal
                                                              : Qt::ApplicationModal);
    CentreOnMainForm(&dialog);
    if (QWidget* field = FirstField(&dialog)) field->setFocus(Qt::OtherFocusReason);
    dialog.installEventFilter(new FirstFieldFocus(&dialog));
    SetFrontForm(&dialog);
    int result = dialog.exec();
    SetFrontForm(previous);
    if (previous && previous != mainForm && previous->isVisible()) {
        previous->raise();
        previous->activateWindow();
    }
    return result;
}

QString FromStored(const std::string& bytes) {
    return QString::fromStdString(StoredTextAsUtf8(bytes));
}

std::string ToStored(const QString& text) {
    return text.toStdString();
}

TErrorDlg::TErrorDlg(const QString& text, const QString& caption, bool information, QWidget* parent)
    : QDialog(parent ? parent : DialogOwner()) {
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    MakeIcon(this, information ? QStyle::SP_MessageBoxInformation : QStyle::SP_MessageBoxCritical);
    label_ = MakeText(this, text);
    ok_ = new QPushButton(tr("&OK"), this);
    ok_->setDefault(true);
    int grow = Overrun(label_);
    ok_->setGeometry((DialogWidth - 75) / 2, ButtonTop + grow, 75, 25);
    setFixedSize(DialogWidth, DialogHeight + grow);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

TErrorCheckDlg::TErrorCheckDlg(const QString& text, const QString& caption, QWidget* parent)
    : QDialog(parent ? parent : DialogOwner()) {
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    MakeIcon(this, QStyle::SP_MessageBoxQuestion);
    QLabel* label = MakeText(this, text);
    yes_ = new QPushButton(tr("&Yes"), this);
    no_ = new QPushButton(tr("&No"), this);
    yes_->setDefault(true);
    yes_->setFocus();
    int grow = Overrun(label);
    yes_->setGeometry(DialogWidth / 2 - 80, ButtonTop + grow, 75, 25);
    no_->setGeometry(DialogWidth / 2 + 5, ButtonTop + grow, 75, 25);
    setFixedSize(DialogWidth, DialogHeight + grow);
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);
}

namespace {
int beeps = 0;
}

void Beep() {
    ++beeps;
    QApplication::beep();
}

int BeepCount() {
    return beeps;
}

void ShowMessage(const std::string& text, const std::string& caption, bool information) {
    TErrorDlg dialog(FromStored(text), FromStored(caption), information);
    ExecAsFrontForm(dialog);
}

int Ask(const std::string& text, const std::string& caption) {
    TErrorCheckDlg dialog(FromStored(text), FromStored(caption));
    int result = ExecAsFrontForm(dialog);
    SetFrontForm(MainForm());
    return result == QDialog::Accepted ? 0 : 1;
}

} // namespace gathra
