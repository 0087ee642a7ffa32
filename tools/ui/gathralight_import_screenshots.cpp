// Takes screenshots of the imports with ImageMagick's `import`: a bookmark window with a nested
// tree beside a brief window, and a brief after an import of Internet shortcuts. Run it on an X
// server, for example:
//   Xvfb :99 -screen 0 1024x768x24 & DISPLAY=:99 build/gathralight_import_screenshots /tmp/shots
#include "Gui/SkeinForm.h"
#include "ScreenShot.h"
#include "Gui/BkMarks.h"
#include "Gui/MDIFrame.h"
#include "Gui/support/UiTestSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTest>
#include <cstdio>

using namespace gathra;
using namespace gathra::test;
using namespace gathra::tools;

namespace {

const char* const Export =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
    "  <DT><A HREF=\"https://www.example.org/\" ADD_DATE=\"1700000000\">Caf\xC3\xA9 &amp; "
    "Cr\xC3\xA8me recipes</A>\n"
    "  <DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>\n"
    "  <DL><p>\n"
    "    <DT><H3>News</H3>\n"
    "    <DL><p>\n"
    "      <DT><A HREF=\"https://news.example/\">Daily &lt;News&gt;</A>\n"
    "      <DT><A HREF=\"https://weather.example/\">Weather</A>\n"
    "      <DT><H3>Local</H3>\n"
    "      <DL><p>\n"
    "        <DT><A HREF=\"https://town.example/\">Town council</A>\n"
    "      </DL><p>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"https://mail.example/\">Mail</A>\n"
    "  </DL><p>\n"
    "  <DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other Bookmarks</H3>\n"
    "  <DL><p>\n"
    "    <DT><A HREF=\"https://\xE6\x97\xA5\xE6\x9C\xAC.example/\">\xE6\x97\xA5\xE6\x9C\xAC"
    "\xE8\xAA\x9E</A>\n"
    "  </DL><p>\n"
    "</DL>\n";

} // namespace

int main(int argc, char** argv) {
    ShotSession session(argc, argv);
    FrameHarness& h = session.Harness;
    TMDIFrame& frame = session.Frame;

    std::string briefPath = ReadingBrief(h);
    TSkeinForm* brief = frame.OpenBriefFile(briefPath);
    WriteFileBytes(h.Dir() / "bookmarks.html", Export);
    h.FileAnswers.push_back(QString::fromStdString(h.PathOf("bookmarks.html")));
    frame.ImportBookmarks();
    TBkMarks* bookmarks = frame.ActiveBookmarkWindow();
    if (brief == nullptr || bookmarks == nullptr) {
        std::printf("could not open the windows\n");
        return 1;
    }
    frame.MdiArea()->tileSubWindows();
    TBookmarkTree* tree = bookmarks->SKOutline();
    tree->expandAll();
    tree->setCurrentItem(tree->topLevelItem(1)->child(0)->child(1));
    Shot("imports-1-bookmark-window");

    WriteFileBytes(h.Dir() / "Weekly market.url",
                   "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"
                   "[InternetShortcut]\r\nIDList=\r\nURL=https://market.example/weekly\r\n"
                   "HotKey=0\r\n");
    WriteFileBytes(h.Dir() / "Library.desktop",
                   "[Desktop Entry]\nType=Link\nName=Library\nURL=https://library.example/\n");
    h.FileListAnswers.push_back({QString::fromStdString(h.PathOf("Weekly market.url")),
                                 QString::fromStdString(h.PathOf("Library.desktop"))});
    frame.MdiArea()->setActiveSubWindow(brief->SubWindow());
    frame.ImportShortcuts();
    Shot("imports-2-after-shortcuts");
    frame.close();
    return 0;
}
