#include "Imports/InternetShortcuts.h"
#include "Brief/WebList.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

using test::TempDir;
using test::WriteFileBytes;

TEST(InternetShortcuts, ReadsTheAddressOfEveryShapeOfShortcut) {
    const std::pair<std::string, std::string> cases[] = {
        {"[InternetShortcut]\r\nURL=http://www.example.com/\r\n", "http://www.example.com/"},
        {"[InternetShortcut]\nURL=http://unix.example/", "http://unix.example/"},
        // Windows writes a property section first and more keys after the address.
        {"[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n[InternetShortcut]\r\n"
         "IDList=\r\nURL=https://modern.example/a?b=c\r\nHotKey=0\r\n"
         "IconFile=https://modern.example/favicon.ico\r\nIconIndex=1\r\n",
         "https://modern.example/a?b=c"},
        {"[DEFAULT]\r\nBASEURL=http://base.example/\r\n[InternetShortcut]\r\nurl=http://lower/\r\n",
         "http://lower/"},
        {"\xEF\xBB\xBF[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"
         "[InternetShortcut]\r\nURL=http://bom.example/\r\n",
         "http://bom.example/"},
        {"[InternetShortcut]\r\nIDList=\r\n", ""},
        // Without the section: four bytes past the first "]" and its line ends and tabs.
        {"[Other]\r\n\tURL=http://classic.example/\r\n\r\n", "http://classic.example/"},
        {"[Other]\r\nURL=http://one.example/\r\nmore lines\r\n", "http://one.example/"},
        {"no brackets at all", ""},
        {"", ""},
        {"]", ""},
    };
    for (const auto& [text, address] : cases)
        EXPECT_EQ(InternetShortcutAddress(text), address) << text;
}

TEST(InternetShortcuts, ReadsLinkFilesOfTheLinuxDesktops) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"[Desktop Entry]\nEncoding=UTF-8\nName=Example\nType=Link\nURL=https://example.org/\n"
         "Icon=text-html\n",
         "https://example.org/"},
        {"[Desktop Entry]\nIcon=text-html\nName=KDE\nType=Link\nURL[$e]=https://kde.example/\n",
         "https://kde.example/"},
        {"[Desktop Entry]\nType=Link\nURL=https://a.example/x\\sy\n", "https://a.example/x y"},
        {"[Desktop Entry]\nType=Application\nExec=rm -rf ~\nURL=https://x/\n", std::nullopt},
        {"[Desktop Entry]\nType=Link\n", std::nullopt},
        {"[Other]\nType=Link\nURL=https://x/\n", std::nullopt},
    };
    for (const auto& [text, address] : cases)
        EXPECT_EQ(DesktopLinkAddress(text), address) << text;
}

TEST(InternetShortcuts, ImportMakesOneEntryPerShortcutLastFileFirst) {
    TempDir dir;
    WriteFileBytes(dir / "a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
    WriteFileBytes(dir / "b.URL", "[InternetShortcut]\r\nURL=http://b.example/\r\n");
    WriteFileBytes(dir / "c.txt", "[InternetShortcut]\r\nURL=http://c.example/\r\n");
    WriteFileBytes(dir / "d.desktop", "[Desktop Entry]\nType=Link\nURL=http://d.example/\n");
    WriteFileBytes(dir / "app.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    WriteFileBytes(dir / "long.url",
                   "[InternetShortcut]\r\nURL=http://" + std::string(40000, 'x') + "\r\n");
    auto path = [&dir](const char* name) { return (dir / name).string(); };

    WriteFileBytes(dir / "named.desktop",
                   "[Desktop Entry]\nType=Link\nName[de]=Beispiel\nName=The\\sExample\n"
                   "URL=http://e.example/\n");
    WriteFileBytes(dir / "empty.url", "[InternetShortcut]\r\nIDList=\r\n");

    struct Case {
        std::vector<std::string> Files;
        std::vector<std::string> Names; // of the brief's entries afterwards, first to last
        const char* Skipped;            // the one message naming the files skipped
    };
    const Case cases[] = {
        {{path("a.url"), path("b.URL"), path("c.txt")}, {"a", "b", "old"}, nullptr},
        {{path("d.desktop"), path("a.url")}, {"d", "a", "old"}, nullptr},
        // A file that is no link is skipped and named at the end; the others are all made.
        {{path("a.url"), path("missing.url"), path("b.URL")},
         {"a", "b", "old"},
         "This file is not a link to a web page, and Gathra Light skipped it: missing.url."},
        {{path("app.desktop"), path("a.url"), path("long.url"), path("empty.url")},
         {"a", "old"},
         "These files are not links to web pages, and Gathra Light skipped them: app.desktop, "
         "long.url, empty.url."},
        {{dir.Path().string() + "/sub.url"},
         {"old"},
         "This file is not a link to a web page, and Gathra Light skipped it: sub.url."},
        // A link file is named as file managers show it.
        {{path("named.desktop")}, {"The Example", "old"}, nullptr},
    };
    std::filesystem::create_directory(dir / "sub.url");
    for (const Case& c : cases) {
        TWebList list;
        list.AddEntry(EntryKind::Web)->EntryName = "old";
        test::RecordingDialogs dialogs;
        int made = ImportShortcutFiles(
            c.Files, [&list] { return list.InsertEntry(0, EntryKind::Web); }, dialogs);
        ASSERT_EQ(made + 1, list.Count());
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i)
            names.push_back(list.Entry(i).EntryName);
        EXPECT_EQ(names, c.Names) << c.Files.back();
        ASSERT_EQ(dialogs.Log.size(), c.Skipped ? 1u : 0u) << c.Files.back();
        if (c.Skipped) {
            EXPECT_EQ(dialogs.Log[0].Text, c.Skipped);
            EXPECT_EQ(dialogs.Log[0].Caption, "Shortcut Loading Error");
        }
        for (int i = 0; i < made; ++i) {
            const TWebPage& e = list.Entry(i);
            const std::string host = e.EntryName == "The Example" ? "e" : e.EntryName;
            EXPECT_EQ(e.Address, "http://" + host + ".example/");
            EXPECT_EQ(e.IsSearch, 0);
            EXPECT_EQ(e.NameSet, 1);
            EXPECT_EQ(e.SpiderDepth, 1);
        }
    }
}

} // namespace
} // namespace gathra
