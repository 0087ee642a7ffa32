#pragma once
#include <QDialog>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>

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

// The bar above (or below) the main window that shows the program's own banner.
class TAdBar : public QWidget {
    Q_OBJECT
public:
    explicit TAdBar(QWidget* parent = nullptr);
    // Puts the bar at the main window's left edge, just above it, or below it when above would
    // leave the screen. `titleHeight` is the height of the main window's title bar.
    void PlaceBy(const QRect& mainFrame, int titleHeight = 0);

protected:
    void moveEvent(QMoveEvent* event) override;

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
