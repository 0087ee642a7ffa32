#include "Shell/ui/HelpWindow.h"
#include "ui/support/WindowLeakCheck.h"

namespace test = gathra::test;

#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

using namespace gathra::ui;

class HelpWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        THelpWindow::CloseInstance();
        QVERIFY2(test::LeakedTopLevelWindows().isEmpty(), "a window leaked");
    }

    // Every topic the program opens: file dialogs, brief setup, entry dialogs, preferences and
    // the tutorial.
    void everyTopicHasAPageWithAHeading() {
        for (int topic : {4, 5, 7, 11, 12, 18, 19, 20, 21, 22, 23, 29, 30, 31, 48}) {
            QFile file(THelpWindow::TopicFile(topic));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY2(html.contains("<h2>"), qPrintable(file.fileName()));
            QVERIFY2(html.contains("contents.html"), qPrintable(file.fileName()));
        }
    }

    void contentsLinksOnlyToPagesThatExist() {
        QFile file(THelpWindow::HelpFolder() + "/contents.html");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        int links = 0;
        auto it = QRegularExpression("href=\"([^\"]+)\"").globalMatch(html);
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFile::exists(THelpWindow::HelpFolder() + "/" + target), qPrintable(target));
            ++links;
        }
        QVERIFY(links >= 15);
    }

    void opensATopicAndFallsBackToTheContents() {
        THelpWindow w;
        w.OpenTopic(31);
        QVERIFY(w.CurrentPage().toLocalFile().endsWith("topic31.html"));
        auto* browser = w.findChild<QTextBrowser*>("HelpBrowser");
        QVERIFY(browser->toPlainText().contains("Number of Retries"));
        w.OpenTopic(999);
        QVERIFY(w.CurrentPage().toLocalFile().endsWith("contents.html"));
    }

    void theProgramKeepsOneHelpWindow() {
        THelpWindow::ShowTopic(20);
        THelpWindow* first = THelpWindow::Instance();
        THelpWindow::ShowContents();
        QCOMPARE(THelpWindow::Instance(), first);
        QVERIFY(first->isVisible());
        QVERIFY(first->CurrentPage().toLocalFile().endsWith("contents.html"));
    }
};

QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
