#include "Gui/DialogParts.h"

#include "Gui/ByteLimitValidator.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <vector>

namespace gathra {

QLabel* MakeBuddyLabel(const QString& text, QWidget* parent, int x, int y, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}

QPushButton* MakeRowButton(const QString& text, const QString& objectName, QWidget* page, int x,
                           int top) {
    auto* button = new QPushButton(text, page);
    button->setObjectName(objectName);
    button->setGeometry(x, top, 84, 28);
    return button;
}

QTabWidget* MakeNotebook(QDialog* dialog, int width, int height) {
    auto* notebook = new QTabWidget(dialog);
    notebook->setObjectName("Notebook");
    notebook->setGeometry(6, 6, width - 12, height - 12);
    return notebook;
}

PageButtons MakePageButtons(QWidget* page, int top, const QString& okName,
                            const QString& cancelName, const QString& applyName,
                            const QString& helpName) {
    return PageButtons{MakeRowButton("&OK", okName, page, 14, top),
                       MakeRowButton("&Cancel", cancelName, page, 106, top),
                       MakeRowButton("&Apply", applyName, page, 198, top),
                       MakeRowButton("&Help", helpName, page, 290, top)};
}

void KeepPageOkDefault(QTabWidget* notebook, std::span<QPushButton* const> ok) {
    std::vector<QPushButton*> buttons(ok.begin(), ok.end());
    QObject::connect(notebook, &QTabWidget::currentChanged, notebook, [buttons](int index) {
        if (index >= 0 && static_cast<size_t>(index) < buttons.size() &&
            buttons[static_cast<size_t>(index)] != nullptr)
            buttons[static_cast<size_t>(index)]->setDefault(true);
    });
    if (ok[0] != nullptr) ok[0]->setDefault(true);
}

PasswordEdits MakePasswordEdits(QWidget* group, int editLeft, int top, qsizetype maxBytes,
                                const QString& confirmText) {
    auto makeEdit = [&](const char* objectName, int y, bool secret) {
        auto* edit = new QLineEdit(group);
        edit->setObjectName(objectName);
        edit->setGeometry(editLeft, y, group->width() - editLeft - 15, 24);
        if (secret) edit->setEchoMode(QLineEdit::Password);
        ByteLimitValidator::Attach(edit, maxBytes);
        return edit;
    };
    PasswordEdits edits;
    edits.User = makeEdit("UserName", top, false);
    edits.UserLabel = MakeBuddyLabel("&User Name:", group, 15, top + 4, edits.User);
    edits.Password = makeEdit("Password", top + 34, true);
    edits.PasswordLabel = MakeBuddyLabel("&Password:", group, 15, top + 38, edits.Password);
    edits.Confirm = makeEdit("Confirm", top + 68, true);
    edits.ConfirmLabel = MakeBuddyLabel(confirmText, group, 15, top + 72, edits.Confirm);
    edits.ConfirmLabel->setObjectName("ConfirmLabel");
    return edits;
}

} // namespace gathra
