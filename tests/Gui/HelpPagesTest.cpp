#include "Gui/HelpTopics.h"
#include "Gui/ShellWindows.h"
#include "Gui/support/WindowLeakCheck.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

using namespace gathra;

class HelpPagesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<THelpWindow*>(w)) w->close(); // deletes itself
        QVERIFY2(test::LeakedTopLevelWindows().isEmpty(), "a window leaked");
    }

    // Every topic the program opens: file dialogs, brief setup, entry dialogs, preferences and
    // the tutorial.
    void everyTopicHasAPageWithAHeading() {
        for (int topic : {4, 5, 7, 11, 12, 18, 19, 20, 21, 22, 23, 29, 30, 31, 32, 48}) {
            QFile file(HelpFolder() + QString("topic%1.html").arg(topic));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY2(html.contains("<h2>"), qPrintable(file.fileName()));
            QVERIFY2(html.contains("contents.html"), qPrintable(file.fileName()));
        }
    }

    void contentsLinksOnlyToPagesThatExist() {
        QFile file(HelpFolder() + "contents.html");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        int links = 0;
        auto it = QRegularExpression("href=\"([^\"]+)\"").globalMatch(html);
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFile::exists(HelpFolder() + target), qPrintable(target));
            ++links;
        }
        QVERIFY(links >= 15);
    }

    void aDialogOnItsOwnOpensOneHelpWindow() {
        ShowHelpTopic(31);
        ShowHelpTopic(20);
        QList<THelpWindow*> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = qobject_cast<THelpWindow*>(w)) windows << h;
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows[0]->isVisible());
        QVERIFY(windows[0]->Browser()->source().toLocalFile().endsWith("topic20.html"));
        QVERIFY(windows[0]->Browser()->toPlainText().contains("Page Address"));
    }
};

QTEST_MAIN(HelpPagesTest)
#include "HelpPagesTest.moc"
