// gathra import bookmarks and gathra import shortcuts: web entries from a browser's bookmarks
// and from shortcut files.
#include "App/gathra/CliCommands.h"
#include "Imports/BookmarkEntries.h"
#include "Imports/BookmarkFile.h"
#include "Imports/InternetShortcuts.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace gathra {

namespace {

// ---- import bookmarks ---------------------------------------------------------------------------

struct BookmarksOptions {
    std::string Brief;
    std::string File;
    std::optional<std::string> Folder;
    bool List = false;
};

// One line per item, indented two blanks per level below `top`; folders end in "/".
void WriteTree(const TBookmarkOutline& outline, const std::vector<int>& items, int top,
               std::ostream& out) {
    for (int i : items) {
        const TBookmarkItem& item = outline.Item(i);
        out << std::string(static_cast<size_t>(2 * (item.Level - top)), ' ') << item.Text;
        if (item.Address.empty())
            out << "/\n";
        else
            out << "  <" << item.Address << ">\n";
    }
}

void RunImportBookmarks(const BookmarksOptions& o, CliState& state) {
    std::optional<TBookmarkOutline> outline = LoadBookmarkFile(o.File, state.Messages);
    if (!outline) {
        state.Status = CliExitBriefFailed;
        return;
    }
    int folder = -1;
    if (o.Folder) {
        folder = outline->FindFolder(*o.Folder);
        if (folder < 0) {
            state.Fail(CliExitUsage,
                       "import bookmarks: " + o.File + " has no folder \"" + *o.Folder + "\"");
            return;
        }
    }
    if (o.List) {
        if (folder < 0) {
            WriteTree(*outline, outline->InOrder(), 1, state.Out);
        } else {
            std::vector<int> below;
            std::vector<int> all = outline->InOrder();
            const int level = outline->Item(folder).Level;
            auto at = std::find(all.begin(), all.end(), folder);
            for (auto it = at + 1; it != all.end() && outline->Item(*it).Level > level; ++it)
                below.push_back(*it);
            WriteTree(*outline, below, level + 1, state.Out);
        }
        return;
    }
    std::vector<BookmarkEntry> entries = BookmarkEntries(
        *outline, folder < 0 ? outline->Bookmarks() : outline->ItemsToImport(folder));
    TBrief brief;
    if (!LoadBriefFile(o.Brief, brief, state)) return;
    const int made = DropBookmarks(brief.WebList, entries, brief.WebList.Count());
    if (made < static_cast<int>(entries.size()))
        state.Fail(CliExitBriefFailed,
                   "the brief is full (32767 entries): " + std::to_string(entries.size() - made) +
                       " bookmarks were not added");
    if (SaveBriefFile(brief, state))
        state.Out << made << (made == 1 ? " entry" : " entries") << " added\n";
}

void AddBookmarksCommand(CLI::App& import, CliState& state) {
    auto o = std::make_shared<BookmarksOptions>();
    CLI::App* cmd = import.add_subcommand(
        "bookmarks", "Add the bookmarks of an exported bookmark page (.html), a Firefox "
                     "places.sqlite or a Chromium/Chrome/Edge Bookmarks file to a brief");
    cmd->add_option("BRIEF", o->Brief, "The brief file (.brf)")->required();
    cmd->add_option("FILE", o->File, "The bookmark file")->required();
    cmd->add_option("--folder", o->Folder,
                    "Only the bookmarks of this folder and its sub-folders, as \"Folder/Sub\"");
    cmd->add_flag("--list", o->List, "Print the bookmark tree instead; the brief is not changed");
    cmd->callback([o, &state] { RunImportBookmarks(*o, state); });
}

// ---- import shortcuts ---------------------------------------------------------------------------

struct ShortcutsOptions {
    std::string Brief;
    std::vector<std::string> Files;
};

void RunImportShortcuts(const ShortcutsOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadBriefFile(o.Brief, brief, state)) return;
    for (const std::string& file : o.Files)
        if (ShortcutKindOf(file) == ShortcutKind::None)
            state.Err << "gathra: skipped " << file << " (not a .url or .desktop file)\n";
    TWebList& list = brief.WebList;
    const int said = state.Messages.Said();
    const int made = ImportShortcutFiles(
        o.Files, [&list] { return list.InsertEntry(0, EntryKind::Web); }, state.Messages);
    // Files that are no links are named on the error stream; the import counts as done when it
    // made at least one entry.
    if (made == 0) {
        if (state.Messages.Said() != said) state.Status = CliExitBriefFailed;
        return;
    }
    const int status = state.Status;
    if (SaveBriefFile(brief, state)) {
        state.Out << made << (made == 1 ? " entry" : " entries") << " added\n";
        state.Status = status;
    }
}

void AddShortcutsCommand(CLI::App& import, CliState& state) {
    auto o = std::make_shared<ShortcutsOptions>();
    CLI::App* cmd = import.add_subcommand(
        "shortcuts", "Add a web entry for each Internet shortcut (.url) or link (.desktop) file; "
                     "the last file given becomes the first entry");
    cmd->add_option("BRIEF", o->Brief, "The brief file (.brf)")->required();
    cmd->add_option("FILE", o->Files, "The shortcut files")->required();
    cmd->callback([o, &state] { RunImportShortcuts(*o, state); });
}

} // namespace

void AddImportCommands(CLI::App& app, CliState& state) {
    CLI::App* import =
        app.add_subcommand("import", "Make web entries of browser bookmarks and shortcut files");
    import->require_subcommand(1);
    AddBookmarksCommand(*import, state);
    AddShortcutsCommand(*import, state);
}

} // namespace gathra
