#include "Run/NameFixups.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

// Two pages written with references to names that may change: each piece is plain text or a
// remembered name. After the renames, every reference to a renamed name leads to its last name,
// and nothing else changes — names that merely begin alike, references that were never
// remembered, and text that looks like a name.
TEST(NameFixups, PatchesExactlyTheRememberedReferencesOfRenamedNames) {
    test::TempDir dir;
    TNameFixups fixups;
    struct Piece {
        bool Remembered;
        std::string Text;
    };
    const std::vector<std::vector<Piece>> pages = {
        {{false, "<a href=\""},
         {true, "GA5.c"},
         {false, "\">c</a> <a href=\""},
         {true, "GA5.css"},
         {false, "\">css</a> GA5.c <a href=\""},
         {true, "GA7.pdf"},
         {false, "\">"},
         {true, "GA8.tar.gz"},
         {false, " "},
         {true, "GA9.htm"},
         {false, " end"}},
        {{true, "GA7.pdf"}, {false, "|"}, {true, "GA5.c"}, {false, "|"}, {true, "GA12.json"}},
    };
    // The pages are written side by side (as a frame and its page may be): their references
    // come in turns.
    {
        TOutputFile outs[2];
        for (size_t p = 0; p < pages.size(); ++p)
            outs[p].Open((dir / ("page" + std::to_string(p) + ".htm")).string());
        for (size_t i = 0; i < pages[0].size(); ++i)
            for (size_t p = 0; p < pages.size(); ++p) {
                if (i >= pages[p].size()) continue;
                const Piece& piece = pages[p][i];
                if (piece.Remembered) fixups.Remember(outs[p], piece.Text);
                outs[p].Write(piece.Text);
            }
    }
    fixups.Rename("GA5.c", "GA5.txt");      // longer
    fixups.Rename("GA5.txt", "GA5.htm");    // and again: the last name counts
    fixups.Rename("GA7.pdf", "GA7.htm");    // the same length
    fixups.Rename("GA8.tar.gz", "GA8.htm"); // shorter
    fixups.Rename("GA12.json", "GA12.json");
    fixups.Apply();
    EXPECT_EQ(test::ReadFileBytes(dir / "page0.htm"),
              "<a href=\"GA5.htm\">c</a> <a href=\"GA5.css\">css</a> GA5.c <a "
              "href=\"GA7.htm\">GA8.htm GA9.htm end");
    EXPECT_EQ(test::ReadFileBytes(dir / "page1.htm"), "GA7.htm|GA5.htm|GA12.json");
    // Everything is forgotten: a later rename patches nothing written before.
    const std::string patched = test::ReadFileBytes(dir / "page0.htm");
    fixups.Rename("GA9.htm", "GA9.txt");
    fixups.Apply();
    EXPECT_EQ(test::ReadFileBytes(dir / "page0.htm"), patched);
}

} // namespace
} // namespace gathra
