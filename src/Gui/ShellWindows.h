#pragma once
#include <QDialog>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace gathra {

class Browser;

// The splash window: the program's banner, borderless and on top, for about one and a half
// seconds (a first tick after 500 ms stretches the timer to 1000 ms, the second closes it).
class TSplashScreen : public QDialog {
    Q_OBJECT
public:
    explicit TSplashScreen(QWidget* parent = nullptr);

private:
    QTimer timer_;
    int ticks_ = 0;
};

// The help viewer: topic N is the page help/topicN.html of the program folder.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(const QString& helpFolder, QWidget* parent = nullptr);
    void ShowTopic(int topic);
    void ShowContents();
    QTextBrowser* Browser() const { return browser_; }

private:
    void ShowFile(const QString& name);
    void PlaceBeside(const QRect& dialog);
    QString folder_;
    QTextBrowser* browser_;
};

// Where the ad bar's frame goes beside the main window's frame: at its left edge just above it,
// else just below it, else at its top edge to its right, else to its left; always wholly on the
// screen's `area` and never over the main window. None when there is no such place (a main
// window as large as the screen).
std::optional<QPoint> AdBarPosition(const QRect& mainFrame, const QSize& barFrame,
                                    const QRect& area);

// The bar beside the main window (its parent) that shows the program's own banner. It follows
// the main window as it moves, changes size or state, and is hidden while there is no room for
// it beside the main window.
class TAdBar : public QWidget {
    Q_OBJECT
public:
    explicit TAdBar(QWidget* parent);
    // Places (and shows, or hides) the bar after the main window.
    void Place();

protected:
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool placing_ = false;
};

// "Brief Ready": the question at the end of a run. Yes opens the run's summary page.
class TBtnRightDlg : public QDialog {
    Q_OBJECT
public:
    TBtnRightDlg(const std::string& briefName, const std::string& summaryName,
                 const std::string& runFolder, Browser& browser, QWidget* parent = nullptr);
    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }
    // The address Yes opens: the FileAddress of folder + summary name.
    static std::string SummaryAddress(const std::string& runFolder, const std::string& summary);

private:
    QPushButton* yes_;
    QPushButton* no_;
};

} // namespace gathra
