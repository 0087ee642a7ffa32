#pragma once
#include <QString>
#include <array>
#include <span>

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

} // namespace gathra
