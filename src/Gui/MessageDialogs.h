#pragma once
#include "Platform/Dialogs.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace gathra {

// The window modal dialogs are centred on, and the modal dialog now in front (the main window
// when none). Switching back to the program brings `FrontForm` to the front.
void SetMainForm(QWidget* main);
QWidget* MainForm();
QWidget* FrontForm();
void SetFrontForm(QWidget* form);
// Centres a dialog on the main window (on the screen when there is none).
void CentreOnMainForm(QWidget* dialog);
// The window a new dialog belongs to: the modal dialog in front, else the main window.
QWidget* DialogOwner();
// Makes `window` transient for `owner` (DialogOwner() when none is given), so that the window
// manager keeps it above the main window, whatever is clicked. A window without a parent widget
// gets the owner as its parent; a plain top-level type becomes a dialog type (only dialog types
// are transient for their parent on X11).
void KeepAbove(QWidget* window, QWidget* owner = nullptr);
// The widget that takes the keyboard focus when `dialog` opens: its first visible, enabled
// field in tab order, else its default button, else its first focusable widget.
QWidget* FirstField(QWidget* dialog);
// Shows a modal dialog as the front form, restoring the previous front form afterwards. Every
// dialog of the program opens through here: it is kept above its owner, modal to the main
// window only (help and the other programs stay usable), centred on the main window, and it
// opens with the keyboard focus in its first field.
int ExecAsFrontForm(QDialog& dialog);

// Stored 8-bit text for display: UTF-8 when it is valid UTF-8, else Windows-1252.
QString FromStored(const std::string& bytes);
// What the user typed, stored as UTF-8.
std::string ToStored(const QString& text);

// The shared message dialog: a stop or information icon, one wrapping line of text and "&OK".
class TErrorDlg : public QDialog {
    Q_OBJECT
public:
    TErrorDlg(const QString& text, const QString& caption, bool information,
              QWidget* parent = nullptr);
    QLabel* TextLabel() const { return label_; }
    QPushButton* OkButton() const { return ok_; }

private:
    QLabel* label_;
    QPushButton* ok_;
};

// The shared question dialog: a question icon, one line of text, "&Yes" (default) and "&No".
// Closing it any other way answers No.
class TErrorCheckDlg : public QDialog {
    Q_OBJECT
public:
    TErrorCheckDlg(const QString& text, const QString& caption, QWidget* parent = nullptr);
    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }

private:
    QPushButton* yes_;
    QPushButton* no_;
};

// The simple system beep (arrow keys at the ends of the list, the end of a run); counted so that
// tests can see it.
void Beep();
int BeepCount();

// The message dialog of every part of the program.
void ShowMessage(const std::string& text, const std::string& caption, bool information);
// 0 for Yes, 1 for No.
int Ask(const std::string& text, const std::string& caption);

// The Dialogs port on the real dialogs.
class QtDialogs : public Dialogs {
public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     bool information) override {
        gathra::ShowMessage(text, caption, information);
    }
    int Ask(const std::string& text, const std::string& caption) override {
        return gathra::Ask(text, caption);
    }
    // The cause goes on a line of its own under the program's message, as the command line
    // writes it.
    void ShowFailure(const std::string& text, const std::string& caption,
                     const std::string& cause) override {
        gathra::ShowMessage(cause.empty() ? text : text + "\n" + cause, caption, false);
    }
};

} // namespace gathra
