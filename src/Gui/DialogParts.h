#pragma once
#include "Gui/MessageDialogs.h"

#include <QLineEdit>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <span>
#include <tuple>

class QDialog;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;

namespace gathra {

// Pieces shared by the program's tabbed setup dialogs (entry setup, preferences, brief setup).

// A label at (x, y), sized to its text, whose mnemonic moves the focus to `buddy`.
QLabel* MakeBuddyLabel(const QString& text, QWidget* parent, int x, int y, QWidget* buddy);

// A push button of the dialogs' button rows: 84 × 28 at (x, top).
QPushButton* MakeRowButton(const QString& text, const QString& objectName, QWidget* page, int x,
                           int top);

// The notebook filling a fixed dialog of the given size, with a 6-pixel margin.
QTabWidget* MakeNotebook(QDialog* dialog, int width, int height);

// The OK / Cancel / Apply / Help row that each page of a notebook carries.
struct PageButtons {
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;
    QPushButton* Apply = nullptr;
    QPushButton* Help = nullptr;
};
PageButtons MakePageButtons(QWidget* page, int top, const QString& okName,
                            const QString& cancelName, const QString& applyName,
                            const QString& helpName);

// Each page's OK is the default button while that page is shown.
void KeepPageOkDefault(QTabWidget* notebook, std::span<QPushButton* const> ok);

// The user name, password and confirmation edits of a password group, with their labels.
struct PasswordEdits {
    QLineEdit* User = nullptr;
    QLabel* UserLabel = nullptr;
    QLineEdit* Password = nullptr;
    QLabel* PasswordLabel = nullptr;
    QLineEdit* Confirm = nullptr;
    QLabel* ConfirmLabel = nullptr; // named "ConfirmLabel"

    // For std::tie into a dialog's own members, in the order above.
    std::tuple<QLineEdit*, QLabel*, QLineEdit*, QLabel*, QLineEdit*, QLabel*> All() const {
        return {User, UserLabel, Password, PasswordLabel, Confirm, ConfirmLabel};
    }
};
// Fills `group` (already placed) with the three edits, `editLeft` pixels in and 15 from its right
// edge, the first at `top` and each next 34 pixels lower, the two passwords hidden and each
// limited to maxBytes; each label stands at the left, 4 pixels lower than its edit.
PasswordEdits MakePasswordEdits(QWidget* group, int editLeft, int top, qsizetype maxBytes,
                                const QString& confirmText);
// Hands each edit's text (as stored) to the model's EditUserName, EditPassword or EditConfirm,
// then calls refresh.
template <class Model>
void ConnectPasswordEdits(QObject* context, const PasswordEdits& edits, Model& model,
                          const std::function<void()>& refresh) {
    QObject::connect(edits.User, &QLineEdit::textEdited, context,
                     [&model, refresh](const QString& t) {
                         model.EditUserName(ToStored(t));
                         refresh();
                     });
    QObject::connect(edits.Password, &QLineEdit::textEdited, context,
                     [&model, refresh](const QString& t) {
                         model.EditPassword(ToStored(t));
                         refresh();
                     });
    QObject::connect(edits.Confirm, &QLineEdit::textEdited, context,
                     [&model, refresh](const QString& t) {
                         model.EditConfirm(ToStored(t));
                         refresh();
                     });
}

} // namespace gathra
