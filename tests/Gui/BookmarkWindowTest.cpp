// The bookmark window and the imports: opening bookmark files, the window's commands, Copy and
// drag into briefs, closing, and Internet shortcuts.
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "Gui/WebScrollBox.h"
#include "Gui/BkMarks.h"
#include "Gui/MessageDialogs.h"
#include "Gui/support/UiTestSupport.h"

#include <QAction>
#include <QFileDialog>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QtTest>

#include <chrono>
#include <filesystem>

using namespace gathra;
using namespace gathra::test;

namespace {
using C = Command;

// HOME (and with it the user's folders) in a temporary folder for one test.
class ScopedHome {
public:
    explicit ScopedHome(const TempDir& home)
        : home_(qgetenv("HOME")), config_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("HOME", home.Path().string().c_str());
        qunsetenv("XDG_CONFIG_HOME");
    }
    ~ScopedHome() {
        qputenv("HOME", home_);
        if (!config_.isEmpty()) qputenv("XDG_CONFIG_HOME", config_);
    }

private:
    QByteArray home_;
    QByteArray config_;
};

const char* const ExportedPage =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>My &amp; Bookmarks</TITLE>\n<DL><p>\n"
    "  <DT><H3 ADD_DATE=\"1\">Reading</H3>\n"
    "  <DL><p>\n"
    "    <DT><A HREF=\"https://one.example/\" ICON=\"data:image/png;base64,AAAA\">One</A>\n"
    "    <DT><H3>Deeper</H3>\n"
    "    <DL><p>\n"
    "      <DT><A HREF=\"https://deep.example/\">Deep &amp; far</A>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"https://two.example/\">Two</A>\n"
    "  </DL><p>\n"
    "  <DT><A HREF=\"https://top.example/\">Top</A>\n"
    "</DL>\n";

// Drops what the bookmark tree's drag carries on `row` of a brief window.
void DropOn(TSkeinForm* target, QMimeData* mime, int row) {
    QCOMPARE(DragOntoRow(target, *mime, row, Qt::CopyAction), Qt::CopyAction);
}

} // namespace

class BookmarkWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

    bool On(C c) {
        TMDIFrame& f = h->Frame();
        if (QToolButton* b = f.Button(c)) return b->isEnabled();
        return f.Action(c)->isEnabled();
    }
    TSkeinForm* OpenBrief(const std::string& name) {
        return h->Frame().OpenBriefFile(WriteBriefFile(h->PathOf(name), {{"kept"}}));
    }
    TBkMarks* ImportBookmarks(const std::string& name, const std::string& text) {
        WriteFileBytes(h->Dir() / name, text);
        h->FileAnswers.push_back(QString::fromStdString(h->PathOf(name)));
        h->Frame().ImportBookmarks();
        return h->Frame().ActiveBookmarkWindow();
    }

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void importShowsTheTreeInAWindowBesideTheBriefs() {
        TSkeinForm* brief = OpenBrief("a.brf");
        TBkMarks* window = ImportBookmarks("bookmarks.html", ExportedPage);
        QVERIFY(window != nullptr);

        const FileDialogRequest& asked = h->FileRequests.back();
        QCOMPARE(asked.Title, QString("Import Bookmarks"));
        QCOMPARE(asked.Filter,
                 QString("Bookmark Files (*.htm *.html places.sqlite Bookmarks);;All Files (*)"));
        QCOMPARE(asked.HelpContext, 22);
        QVERIFY(!asked.Save && !asked.Multiple);

        QCOMPARE(window->SubWindow()->windowTitle(), QString("My & Bookmarks"));
        TBookmarkTree* tree = window->SKOutline();
        QVERIFY(tree->isVisible());
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem* reading = tree->topLevelItem(0);
        QCOMPARE(reading->text(0), QString("Reading"));
        QCOMPARE(reading->childCount(), 3);
        QCOMPARE(reading->child(1)->child(0)->text(0), QString("Deep & far"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QString("Top"));
        QCOMPARE(tree->visualItemRect(reading).height(), 16);
        QCOMPARE(tree->palette().color(QPalette::Base), tree->palette().color(QPalette::Button));
        QCOMPARE(tree->frameShape(), QFrame::NoFrame);

        // Its place in the window list follows the brief window's.
        auto& tables = h->Frame().WindowTables();
        QCOMPARE(tables.WindowCount(), 2);
        QCOMPARE(tables.WindowPosition(window->SubWindow()), 1);
        QCOMPARE(tables.CurrentBrief, -1);

        // Only Copy acts on a bookmark window.
        for (C c : {C::FileClose, C::FileSaveAs, C::CreateWebEntryButton, C::GetBrowserUrlButton,
                    C::EntryAddWeb, C::GenerateBriefsButton, C::FileGenerate, C::FileBriefSetup,
                    C::ShowBriefButton, C::FileShowLastBrief, C::EntryDelete, C::EntrySetup,
                    C::CutButton, C::EditCut, C::PasteButton, C::EditPaste, C::EntryMenu})
            QVERIFY2(!On(c), qPrintable(QString::number(static_cast<int>(c))));
        QVERIFY(On(C::CopyButton) && On(C::EditCopy));
        QVERIFY(window->PopupCopy()->isEnabled());
        QCOMPARE(window->PopupMenu()->actions().size(), 1);
        QCOMPARE(window->PopupCopy()->text(), QString("&Copy"));

        // Back on the brief, its own commands return.
        h->Frame().MdiArea()->setActiveSubWindow(brief->SubWindow());
        QCOMPARE(tables.CurrentBrief, 0);
        QVERIFY(On(C::EntryMenu) && On(C::FileClose));
    }

    void copyFillsTheBufferForAPasteIntoABrief() {
        TSkeinForm* brief = OpenBrief("a.brf");
        TBkMarks* window = ImportBookmarks("bookmarks.html", ExportedPage);
        QVERIFY(window != nullptr);
        TBookmarkTree* tree = window->SKOutline();
        tree->setCurrentItem(tree->topLevelItem(0)->child(1)->child(0));
        window->PopupCopy()->trigger();
        QVERIFY(h->Frame().BufferFull());
        const TWebPage& buffer = h->Frame().EntryBuffer();
        QCOMPARE(buffer.EntryName, std::string("Deep & far"));
        QCOMPARE(buffer.Address, std::string("https://deep.example/"));
        QCOMPARE(int{buffer.NameSet}, 1);
        QCOMPARE(int{buffer.LocalOnly}, 1);

        // Ctrl+C in the tree is the main window's Copy too.
        tree->setCurrentItem(tree->topLevelItem(1));
        h->Frame().activateWindow();
        tree->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&h->Frame()));
        QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(h->Frame().EntryBuffer().EntryName, std::string("Top"));

        h->Frame().MdiArea()->setActiveSubWindow(brief->SubWindow());
        QVERIFY(On(C::PasteButton));
        h->Frame().PasteEntry();
        QCOMPARE(Names(Reread(h->PathOf("a.brf"))), (std::vector<std::string>{"Top", "kept"}));
    }

    // Import Bookmarks starts in the browser profile in use (else home) and its one filter
    // shows every kind of file it reads; Import Shortcuts starts on the desktop (else home).
    void importDialogsStartWhereTheFilesAre() {
        OpenBrief("a.brf");
        TempDir home;
        ScopedHome scoped(home);
        h->Frame().ImportBookmarks();
        QCOMPARE(h->FileRequests.back().Folder, QString::fromStdString(home.Path().string()));
        h->FileListAnswers.push_back({});
        h->Frame().ImportShortcuts();
        QCOMPARE(h->FileRequests.back().Folder, QString::fromStdString(home.Path().string()));

        const std::filesystem::path older = home / ".config/chromium/Default";
        const std::filesystem::path firefox = home / ".mozilla/firefox/abc.default-release";
        std::filesystem::create_directories(older);
        std::filesystem::create_directories(firefox);
        std::filesystem::create_directories(home / ".config");
        WriteFileBytes(older / "Bookmarks", "{}");
        WriteFileBytes(firefox / "places.sqlite", "SQLite format 3");
        WriteFileBytes(firefox / "bookmarks.HTML", "<DL>");
        WriteFileBytes(firefox / "notes.txt", "x");
        std::filesystem::last_write_time(
            older / "Bookmarks",
            std::filesystem::last_write_time(firefox / "places.sqlite") - std::chrono::hours(1));
        std::filesystem::create_directories(home / "Desktop");
        std::filesystem::create_directories(home / "Schreibtisch");
        h->Frame().ImportBookmarks();
        const FileDialogRequest asked = h->FileRequests.back();
        QCOMPARE(asked.Folder, QString::fromStdString(firefox.string()));
        QCOMPARE(asked.Places.size(), 2);
        h->FileListAnswers.push_back({});
        h->Frame().ImportShortcuts();
        QCOMPARE(h->FileRequests.back().Folder,
                 QString::fromStdString((home / "Desktop").string()));
        // The desktop the user's folders name.
        WriteFileBytes(
            home / ".config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
        h->FileListAnswers.push_back({});
        h->Frame().ImportShortcuts();
        QCOMPARE(h->FileRequests.back().Folder,
                 QString::fromStdString((home / "Schreibtisch").string()));

        // The real dialog in that profile lists the database and the export, nothing else.
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        TMDIFrame::ConfigureFileDialog(dialog, asked);
        dialog.show();
        auto* list = dialog.findChild<QListView*>("listView");
        QVERIFY(list != nullptr);
        auto shown = [list] {
            QStringList names;
            const QModelIndex root = list->rootIndex();
            for (int r = 0; r < list->model()->rowCount(root); ++r)
                names << list->model()->index(r, 0, root).data().toString();
            names.sort();
            return names;
        };
        QTRY_COMPARE(shown(), (QStringList{"bookmarks.HTML", "places.sqlite"}));
        // Its side bar shows the profiles' names whole.
        auto* sidebar = dialog.findChild<QWidget*>("sidebar");
        QVERIFY(sidebar != nullptr);
        QVERIFY(sidebar->width() > dialog.fontMetrics().horizontalAdvance("abc.default-release"));
    }

    void anUntitledBookmarkIsShownAndPastedByItsAddress() {
        TSkeinForm* brief = OpenBrief("a.brf");
        TBkMarks* window = ImportBookmarks(
            "untitled.html", "<DL><p>\n<DT><A HREF=\"https://untitled.example/\"></A>\n</DL>\n");
        QVERIFY(window != nullptr);
        QTreeWidgetItem* row = window->SKOutline()->topLevelItem(0);
        QCOMPARE(row->text(0), QString("https://untitled.example/"));
        window->SKOutline()->setCurrentItem(row);
        window->PopupCopy()->trigger();
        h->Frame().MdiArea()->setActiveSubWindow(brief->SubWindow());
        h->Frame().PasteEntry();
        // Unnamed, like a cleared name: shown by its address now and after the brief is read.
        const TWebPage& pasted = brief->Brief.WebList.Entry(0);
        QCOMPARE(pasted.EntryName, std::string("https://untitled.example/"));
        QCOMPARE(int{pasted.NameSet}, 0);
        const TBrief saved = Reread(h->PathOf("a.brf"));
        QCOMPARE(Names(saved), (std::vector<std::string>{"https://untitled.example/", "kept"}));
        QCOMPARE(int{saved.WebList.Entry(0).NameSet}, 0);
    }

    void draggingAFolderImportsItsBookmarksWhereItIsDropped() {
        TSkeinForm* brief = OpenBrief("a.brf");
        TBkMarks* window = ImportBookmarks("bookmarks.html", ExportedPage);
        QVERIFY(window != nullptr);
        TBookmarkTree* tree = window->SKOutline();
        tree->setCurrentItem(tree->topLevelItem(0));
        std::unique_ptr<QMimeData> folder(tree->DragData());
        QVERIFY(folder != nullptr);
        DropOn(brief, folder.get(), 0);
        tree->setCurrentItem(tree->topLevelItem(1));
        std::unique_ptr<QMimeData> top(tree->DragData());
        DropOn(brief, top.get(), 99);
        const TBrief saved = Reread(h->PathOf("a.brf"));
        QCOMPARE(Names(saved),
                 (std::vector<std::string>{"One", "Deep & far", "Two", "kept", "Top"}));
        QCOMPARE(saved.WebList.Entry(1).Address, std::string("https://deep.example/"));
        QCOMPARE(int{saved.WebList.Entry(1).NameSet}, 1);
        // A sub-folder carries what it holds.
        tree->setCurrentItem(tree->topLevelItem(0)->child(1));
        std::unique_ptr<QMimeData> deeper(tree->DragData());
        QVERIFY(deeper != nullptr);
    }

    void droppingABrowsersLinksMakesWebEntriesThere() {
        TSkeinForm* brief = OpenBrief("a.brf");
        QMimeData links;
        links.setData("text/uri-list", "https://a.example/x?q=1\r\n# a comment\r\n"
                                       "javascript:alert(1)\r\nftp://f.example/pub/\r\n");
        const QString titled = "https://a.example/x?q=1\nCaf\u00e9 page\n";
        links.setData("text/x-moz-url", QByteArray(reinterpret_cast<const char*>(titled.utf16()),
                                                   static_cast<int>(titled.size() * 2)));
        DropOn(brief, &links, 0);
        const TBrief saved = Reread(h->PathOf("a.brf"));
        QCOMPARE(saved.WebList.Count(), 3);
        QCOMPARE(saved.WebList.Entry(0).Address, std::string("https://a.example/x?q=1"));
        QCOMPARE(saved.WebList.Entry(0).EntryName, std::string("Caf\xc3\xa9 page"));
        QCOMPARE(int{saved.WebList.Entry(0).NameSet}, 1);
        QCOMPARE(saved.WebList.Entry(1).Address, std::string("ftp://f.example/pub/"));
        QCOMPARE(saved.WebList.Entry(2).EntryName, std::string("kept"));

        // Nothing that is a web address: the drop is refused.
        QMimeData other;
        other.setData("text/uri-list", "file:///etc/passwd\r\n");
        QWidget* viewport = brief->ScrollBox()->viewport();
        QDragEnterEvent enter(QPoint(100, 12), Qt::CopyAction, &other, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(!enter.isAccepted());
    }

    void closingLeavesTheBriefWindowsInOrder() {
        TSkeinForm* a = OpenBrief("a.brf");
        TBkMarks* window = ImportBookmarks("bookmarks.html", ExportedPage);
        QVERIFY(window != nullptr);
        TSkeinForm* b = OpenBrief("b.brf");
        auto& tables = h->Frame().WindowTables();
        QCOMPARE(tables.WindowCount(), 3);
        window->SubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(tables.WindowCount(), 2);
        QCOMPARE(tables.Child(0), a->SubWindow());
        QCOMPARE(tables.Child(1), b->SubWindow());

        // A bookmark window that is the last window leaves the brief commands off.
        a->SubWindow()->close();
        b->SubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TBkMarks* alone = h->Frame().OpenBookmarkWindow(h->PathOf("bookmarks.html"));
        QVERIFY(alone != nullptr);
        alone->SubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(tables.WindowCount(), 0);
        QVERIFY(!On(C::CopyButton) && !On(C::FileClose) && !On(C::EntryMenu));
    }

    void aFileThatIsNoBookmarkFileIsRefused() {
        OpenBrief("a.brf");
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        TBkMarks* window = ImportBookmarks("page.html", "<html><p>Nothing here</p></html>");
        QVERIFY(window == nullptr);
        QCOMPARE(SeenModalCaptions().back(), QString("Bookmark File Loading Error"));
        QVERIFY(SeenModalTexts().back().contains(
            "This file is either corrupt or is not a Bookmark file. Gathra Light cannot load it."));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(h->Frame().MdiArea()->subWindowList().size(), 1);
        QCOMPARE(h->Frame().WindowTables().WindowCount(), 1);
        QVERIFY(h->Frame().isEnabled());
    }

    void aChromiumBookmarkFileOpensWithoutExport() {
        OpenBrief("a.brf");
        std::filesystem::create_directories(h->Dir() / "chromium/Default");
        TBkMarks* window =
            ImportBookmarks("chromium/Default/Bookmarks",
                            "{\"roots\": {\"bookmark_bar\": {\"name\": \"Bookmarks bar\", "
                            "\"type\": \"folder\", \"children\": [{\"name\": \"Json\", "
                            "\"type\": \"url\", \"url\": \"https://j/\"}]}}}");
        QVERIFY(window != nullptr);
        // Named after its browser and profile, not "Bookmarks" like every other.
        QCOMPARE(window->SubWindow()->windowTitle(), QString("chromium Default"));
        QCOMPARE(window->SKOutline()->topLevelItem(0)->child(0)->text(0), QString("Json"));
        // An export titled "Bookmarks", as browsers title them all, is named after its file.
        TBkMarks* exported = ImportBookmarks(
            "work-laptop.html", "<TITLE>Bookmarks</TITLE><DL><DT><A HREF=\"http://w/\">W</A></DL>");
        QVERIFY(exported != nullptr);
        QCOMPARE(exported->SubWindow()->windowTitle(), QString("work-laptop.html"));
    }

    void shortcutsBecomeEntriesAndTheBriefIsSaved() {
        TSkeinForm* brief = OpenBrief("a.brf");
        WriteFileBytes(h->Dir() / "a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
        WriteFileBytes(h->Dir() / "b.url",
                       "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"
                       "[InternetShortcut]\r\nIDList=\r\nURL=http://b.example/\r\nHotKey=0\r\n");
        WriteFileBytes(h->Dir() / "c.txt", "[InternetShortcut]\r\nURL=http://c.example/\r\n");
        h->FileListAnswers.push_back({QString::fromStdString(h->PathOf("a.url")),
                                      QString::fromStdString(h->PathOf("b.url")),
                                      QString::fromStdString(h->PathOf("c.txt"))});
        h->Frame().ImportShortcuts();
        const FileDialogRequest& asked = h->FileRequests.back();
        QCOMPARE(asked.Title, QString("Import Internet Shortcuts"));
        QCOMPARE(asked.Filter, QString("Shortcuts (*.URL *.desktop)"));
        QCOMPARE(asked.HelpContext, 23);
        QVERIFY(asked.Multiple);

        QCOMPARE(Names(brief->Brief), (std::vector<std::string>{"a", "b", "kept"}));
        const TBrief saved = Reread(h->PathOf("a.brf"));
        QCOMPARE(Names(saved), (std::vector<std::string>{"a", "b", "kept"}));
        QCOMPARE(saved.WebList.Entry(1).Address, std::string("http://b.example/"));
        QVERIFY(On(C::EntrySort) && On(C::GenerateBriefsButton));

        // A launcher among the files is skipped and named once at the end; the links around it
        // are made, a link file named as file managers show it.
        WriteFileBytes(h->Dir() / "app.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
        WriteFileBytes(h->Dir() / "site.desktop",
                       "[Desktop Entry]\nType=Link\nName=The Site\nURL=https://site.example/\n");
        h->FileListAnswers.push_back({QString::fromStdString(h->PathOf("a.url")),
                                      QString::fromStdString(h->PathOf("app.desktop")),
                                      QString::fromStdString(h->PathOf("site.desktop"))});
        const size_t seen = SeenModalTexts().size();
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        h->Frame().ImportShortcuts();
        QCOMPARE(SeenModalTexts().size(), seen + 1);
        QVERIFY2(SeenModalTexts().back().contains("Gathra Light skipped it: app.desktop."),
                 qPrintable(SeenModalTexts().back()));
        QCOMPARE(Names(Reread(h->PathOf("a.brf"))),
                 (std::vector<std::string>{"a", "The Site", "a", "b", "kept"}));
    }
};

QTEST_MAIN(BookmarkWindowTest)
#include "BookmarkWindowTest.moc"
