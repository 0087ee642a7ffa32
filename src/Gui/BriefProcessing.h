#pragma once
#include "Run/ProgressState.h"
#include "Run/RunHost.h"

#include <QDialog>
#include <QMap>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace gathra {

class Dialogs;
class SocketCanceller;
struct RunFlags;

// "Creating Brief": what the run is doing, its statistics and a bar, with Stop Brief and Skip
// Entry. The user cannot close it; the run frees it.
class TBriefProcessing : public QDialog {
    Q_OBJECT
public:
    TBriefProcessing(Dialogs& dialogs, RunFlags& flags, SocketCanceller& canceller,
                     QWidget* parent = nullptr);
    const TProgressState& State() const { return state_; }

    void UpdateItem(ProgressLabel label, const std::string& text);
    void UpdateProgress(int value);
    void AbortClick();
    void SkipClick();
    // The run is done with the dialog: it goes at once, or, while one of its questions is on
    // screen (the question's own event loop runs the run's calls), as soon as that click ends.
    void Retire();
    // Shows the dialog in front of every other window of the program (exit refused during a
    // run, a question answered).
    void BringToFront();

    QLabel* Label(ProgressLabel label) const { return labels_.value(label); }
    QProgressBar* ProgressBar() const { return bar_; }
    QPushButton* AbortButton() const { return abort_; }
    QPushButton* SkipButton() const { return skip_; }

public slots:
    void reject() override {} // Escape does not close it either

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int width);
    void ShowButtons();
    void AfterQuestion();
    void AskAboveThis(const std::function<void()>& click);
    bool inQuestion_ = false;
    bool retired_ = false;
    TProgressState state_;
    QMap<ProgressLabel, QLabel*> labels_;
    QProgressBar* bar_;
    QPushButton* abort_;
    QPushButton* skip_;
};

} // namespace gathra
