#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;

namespace gathra::ui {

// The help viewer: one window showing data/help/topicN.html or the contents page, with links
// between the pages. The program keeps a single window and brings it to the front.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Folder of the help pages: "help" beside the program, else the source tree's data folder.
    static QString HelpFolder();
    static QString TopicFile(int topic);

    void OpenTopic(int topic);
    void OpenContents();
    QUrl CurrentPage() const;

    // The program-wide window (created on first use, deleted with the application).
    static THelpWindow* Instance();
    static void ShowTopic(int topic);
    static void ShowContents();
    // Closes and frees the program-wide window, if there is one.
    static void CloseInstance();

private:
    void OpenFile(const QString& path);
    QTextBrowser* browser_;
};

} // namespace gathra::ui
