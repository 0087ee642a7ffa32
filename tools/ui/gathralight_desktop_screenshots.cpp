// Takes screenshots of the desktop's smaller windows with ImageMagick's `import`: the Retrieval
// tab of the preferences, a brief right after New Web Entry, bookmark windows of a browser
// profile and of an export, the message after a shortcut import with a launcher among the
// files, and the archive tab of a brief with a larger font. Run it on an X server with a window
// manager, for example:
//   Xvfb :99 -screen 0 1366x768x24 & DISPLAY=:99 openbox &
//   DISPLAY=:99 build/gathralight_desktop_screenshots /tmp/shots
#include "Gui/BkMarks.h"
#include "Gui/BriefOpts.h"
#include "Gui/MDIFrame.h"
#include "Gui/SKPrefs.h"
#include "Gui/SkeinForm.h"
#include "Gui/support/UiTestSupport.h"
#include "ScreenShot.h"

#include <QApplication>
#include <QMdiArea>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <filesystem>

using namespace gathra;
using namespace gathra::test;
using namespace gathra::tools;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TakeShotsInto(argc, argv);

    FrameHarness h;
    TMDIFrame& frame = PlacedFrame(h);
    TSkeinForm* form = frame.OpenBriefFile(ReadingBrief(h));
    if (form == nullptr) {
        std::printf("could not open the brief\n");
        return 1;
    }

    OnNextModal([](QDialog* d) {
        qobject_cast<TSKPrefs*>(d)->Pages()->setCurrentIndex(3);
        Shot("desktop-1-preferences-retrieval");
        d->reject();
    });
    frame.Preferences();

    form->SelectEntry(1);
    frame.AddEntry(EntryKind::Web);
    Shot("desktop-2-after-new-web-entry");

    std::filesystem::create_directories(h.Dir() / "chromium/Default");
    WriteFileBytes(h.Dir() / "chromium/Default/Bookmarks",
                   R"({"roots": {"bookmark_bar": {"name": "Bookmarks bar", "type": "folder",
                       "children": [{"name": "Caf\u00e9 news", "type": "url",
                                     "url": "https://cafe.example/"},
                                    {"name": "", "type": "url", "url": "https://untitled.example/"},
                                    {"name": "Bookmarklet", "type": "url",
                                     "url": "javascript:void 0"}]}}})");
    WriteFileBytes(h.Dir() / "work-laptop.html",
                   "<TITLE>Bookmarks</TITLE><H1>Bookmarks</H1><DL><p>"
                   "<DT><A HREF=\"https://caf.example/\">Caf&eacute; &mdash; menu</A>"
                   "<DT><A HREF=\"place:sort=8\">Most Visited</A></DL>");
    for (const char* file : {"chromium/Default/Bookmarks", "work-laptop.html"}) {
        h.FileAnswers.push_back(QString::fromStdString(h.PathOf(file)));
        frame.ImportBookmarks();
    }
    frame.MdiArea()->tileSubWindows();
    Shot("desktop-3-bookmark-windows");

    frame.MdiArea()->setActiveSubWindow(form->SubWindow());
    WriteFileBytes(h.Dir() / "a.url", "[InternetShortcut]\r\nURL=https://a.example/\r\n");
    WriteFileBytes(h.Dir() / "Terminal.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    WriteFileBytes(h.Dir() / "site.desktop",
                   "[Desktop Entry]\nType=Link\nName=The Site\nURL=https://site.example/\n");
    h.FileListAnswers.push_back({QString::fromStdString(h.PathOf("a.url")),
                                 QString::fromStdString(h.PathOf("Terminal.desktop")),
                                 QString::fromStdString(h.PathOf("site.desktop"))});
    OnNextModal([](QDialog* d) {
        Shot("desktop-4-shortcuts-skipped");
        d->accept();
    });
    frame.ImportShortcuts();

    form->Brief.ArchivePaths = {"0\\Brief0.htm", "1\\Brief1.htm"};
    form->Brief.ArchiveTitles = {"12/7/98 9:05:03PM", "11/28/99 12:59:59 AM"};
    QFont larger = QApplication::font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    QApplication::setFont(larger);
    OnNextModal([](QDialog* d) {
        qobject_cast<TBriefOpts*>(d)->Pages()->setCurrentIndex(1);
        Shot("desktop-5-archive-tab-larger-font");
        d->reject();
    });
    frame.BriefSetup();
    frame.close();
    return 0;
}
