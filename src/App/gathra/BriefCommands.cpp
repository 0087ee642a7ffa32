// gathra new, add, remove and show: editing and showing brief files from the command line.
#include "App/gathra/CliCommands.h"
#include "App/gathra/JsonText.h"
#include "Brief/BriefFile.h"
#include "Imports/BrowserPage.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

namespace gathra {

namespace {

// Comments are kept as memo text: every line followed by CR LF.
std::string MemoText(const std::string& text) {
    std::string memo;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        memo += line + "\r\n";
    }
    return memo;
}

// ---- new ----------------------------------------------------------------------------------------

struct NewOptions {
    std::string Path;
    std::optional<std::string> Name;
    std::optional<std::string> Comments;
    bool Force = false;
};

void RunNew(const NewOptions& o, CliState& state) {
    std::error_code ignored;
    if (!o.Force && std::filesystem::exists(o.Path, ignored)) {
        state.Fail(CliExitBriefFailed, o.Path + " already exists (--force replaces it)");
        return;
    }
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = o.Path;
    brief.BriefFolder = FolderOf(o.Path);
    if (o.Name) brief.BriefName = *o.Name;
    if (o.Comments) brief.Comments = MemoText(*o.Comments);
    SaveBriefFile(brief, state);
}

void AddNewCommand(CLI::App& app, CliState& state) {
    auto o = std::make_shared<NewOptions>();
    CLI::App* cmd = app.add_subcommand("new", "Create a brief file with no entries");
    cmd->add_option("BRIEF", o->Path, "The brief file to create (.brf)")->required();
    cmd->add_option("--name", o->Name, "The brief's name (default \"New Brief\")");
    cmd->add_option("--comments", o->Comments, "The brief's comments");
    cmd->add_flag("--force", o->Force, "Replace an existing file");
    cmd->callback([o, &state] { RunNew(*o, state); });
}

// ---- add ----------------------------------------------------------------------------------------

struct AddOptions {
    std::string Path;
    std::optional<std::string> Url;
    std::optional<std::string> Search;
    bool FromBrowser = false;
    std::optional<std::string> Name;
    std::optional<int> Depth;
    bool Images = false;
    bool OtherFiles = false;
    bool FollowExternal = false;
    std::string User;
    std::string Password;
    bool Inactive = false;
    std::optional<int> At;
};

void RunAdd(const AddOptions& o, CliState& state) {
    if (o.Search && o.Search->empty()) {
        state.Fail(CliExitUsage, "add: --search needs a query");
        return;
    }
    TBrief brief;
    if (!LoadBriefFile(o.Path, brief, state)) return;
    TWebList& list = brief.WebList;
    if (o.FromBrowser) {
        std::optional<BrowserPage> page = CurrentBrowserPage();
        if (!page) {
            state.Fail(CliExitBriefFailed,
                       "add: no browser page found (no session of a Firefox-family browser)");
            return;
        }
        if (AddBrowserPage(list, *page) == nullptr) {
            state.Fail(CliExitBriefFailed, "the brief is full (32767 entries)");
            return;
        }
        SaveBriefFile(brief, state);
        return;
    }
    if (o.At && *o.At > list.Count()) {
        state.Fail(CliExitUsage, "add: --at " + std::to_string(*o.At) +
                                     " is past the end (the brief has " +
                                     std::to_string(list.Count()) + " entries)");
        return;
    }
    EntryKind kind = o.Search ? EntryKind::Search : EntryKind::Web;
    TWebPage* e = o.At ? list.InsertEntry(*o.At, kind) : list.AddEntry(kind);
    if (e == nullptr) {
        state.Fail(CliExitBriefFailed, "the brief is full (32767 entries)");
        return;
    }
    if (o.Search) {
        e->EntryName = *o.Search;
        e->NameSet = 1;
        e->Address.clear();
    } else {
        e->Address = o.Url.value_or("");
        // An empty name gives no name, as an empty name field in the entry dialog does: the
        // entry then shows its address.
        if (o.Name && !o.Name->empty()) {
            e->EntryName = *o.Name;
            e->NameSet = 1;
        } else {
            e->ApplyShownName();
        }
    }
    if (o.Depth) e->SpiderDepth = *o.Depth;
    e->ApplyDepthLabel();
    e->LoadImages = o.Images ? 1 : 0;
    e->LoadBinaries = o.OtherFiles ? 1 : 0;
    e->LocalOnly = o.FollowExternal ? 0 : 1;
    e->UserName = o.User;
    e->Password = o.Password;
    e->Active = o.Inactive ? 0 : 1;
    SaveBriefFile(brief, state);
}

void AddAddCommand(CLI::App& app, CliState& state) {
    auto o = std::make_shared<AddOptions>();
    CLI::App* cmd = app.add_subcommand("add", "Add a web or search entry to a brief file");
    cmd->add_option("BRIEF", o->Path, "The brief file (.brf)")->required();
    CLI::Option_group* what = cmd->add_option_group("entry", "What the entry retrieves");
    CLI::Option* url = what->add_option("--url", o->Url, "A web entry for this page address");
    CLI::Option* search = what->add_option("--search", o->Search, "A search entry for this query");
    CLI::Option* fromBrowser = what->add_flag(
        "--from-browser", o->FromBrowser,
        "A web entry, the first of the brief, for the page the browser shows (its current tab)");
    what->require_option(1);
    CLI::Option* name =
        cmd->add_option("--name", o->Name, "The web entry's name (default: its address)");
    name->excludes(search);
    name->excludes(fromBrowser);
    (void)url;
    cmd->add_option("--depth", o->Depth, "Link levels to retrieve, 1 (the page only) to 99")
        ->check(CLI::Range(1, 99));
    cmd->add_flag("--images", o->Images, "Retrieve images and plug-ins");
    cmd->add_flag("--other-files", o->OtherFiles, "Retrieve other, non-HTML files");
    cmd->add_flag("--follow-external", o->FollowExternal, "Follow links to other sites");
    cmd->add_option("--user", o->User, "User name for the site");
    cmd->add_option("--password", o->Password, "Password for the site");
    cmd->add_flag("--inactive", o->Inactive, "Add the entry switched off");
    cmd->add_option("--at", o->At, "Insert at this index (0 is the first; default: at the end)")
        ->check(CLI::NonNegativeNumber);
    cmd->callback([o, &state] { RunAdd(*o, state); });
}

// ---- remove -------------------------------------------------------------------------------------

struct RemoveOptions {
    std::string Path;
    int Index = 0;
};

void RunRemove(const RemoveOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadBriefFile(o.Path, brief, state)) return;
    if (o.Index >= brief.WebList.Count()) {
        state.Fail(CliExitUsage, "remove: there is no entry " + std::to_string(o.Index) +
                                     " (the brief has " + std::to_string(brief.WebList.Count()) +
                                     " entries)");
        return;
    }
    brief.WebList.DeleteEntry(o.Index);
    SaveBriefFile(brief, state);
}

void AddRemoveCommand(CLI::App& app, CliState& state) {
    auto o = std::make_shared<RemoveOptions>();
    CLI::App* cmd = app.add_subcommand("remove", "Remove an entry from a brief file");
    cmd->add_option("BRIEF", o->Path, "The brief file (.brf)")->required();
    cmd->add_option("INDEX", o->Index,
                    "The entry's index as `gathra show` lists it (0 is the first)")
        ->required()
        ->check(CLI::NonNegativeNumber);
    cmd->callback([o, &state] { RunRemove(*o, state); });
}

// ---- show ---------------------------------------------------------------------------------------

struct ShowOptions {
    std::string Path;
    bool Json = false;
};

std::string JsonList(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (size_t i = 0; i < texts.size(); ++i)
        out += (i ? ", " : "") + JsonString(texts[i]);
    return out + "]";
}

void WriteJson(const TBrief& b, std::ostream& out) {
    out << "{\n";
    out << "  \"BriefName\": " << JsonString(b.BriefName) << ",\n";
    out << "  \"Comments\": " << (b.Comments ? JsonString(*b.Comments) : "null") << ",\n";
    out << "  \"BriefActive\": " << int{b.BriefActive} << ",\n";
    out << "  \"ReservedByte\": " << int{b.ReservedByte} << ",\n";
    out << "  \"ReservedCode\": " << JsonString(b.ReservedCode) << ",\n";
    out << "  \"ReservedList\": " << JsonList(b.ReservedList) << ",\n";
    out << "  \"ArchivePaths\": " << JsonList(b.ArchivePaths) << ",\n";
    out << "  \"ArchiveTitles\": " << JsonList(b.ArchiveTitles) << ",\n";
    out << "  \"Entries\": [";
    for (int i = 0; i < b.WebList.Count(); ++i) {
        const TWebPage& e = b.WebList.Entry(i);
        out << (i ? ",\n" : "\n") << "    {";
        out << "\"EntryName\": " << JsonString(e.EntryName);
        out << ", \"Address\": " << JsonString(e.Address);
        out << ", \"Active\": " << int{e.Active};
        out << ", \"IsSearch\": " << int{e.IsSearch};
        out << ", \"SpiderDepth\": " << e.SpiderDepth;
        out << ", \"LoadImages\": " << int{e.LoadImages};
        out << ", \"LoadBinaries\": " << int{e.LoadBinaries};
        out << ", \"LocalOnly\": " << int{e.LocalOnly};
        out << ", \"NameSet\": " << int{e.NameSet};
        out << ", \"UserName\": " << JsonString(e.UserName);
        out << ", \"Password\": " << JsonString(e.Password);
        out << ", \"Locked\": " << int{e.Locked};
        out << ", \"LockedText\": " << JsonString(e.LockedText);
        out << ", \"LockedTextSize\": " << e.LockedTextSize;
        out << ", \"AgentComment\": " << JsonString(e.AgentComment);
        out << ", \"ReservedFlag\": " << int{e.ReservedFlag};
        out << ", \"ReservedText\": " << JsonString(e.ReservedText);
        out << "}";
    }
    out << (b.WebList.Count() > 0 ? "\n  ]\n" : "]\n");
    out << "}\n";
}

void WriteReadable(const TBrief& b, std::ostream& out) {
    out << "Brief: " << b.BriefName << (b.BriefActive == 1 ? "" : " (Inactive)") << "\n";
    if (b.Comments && !b.Comments->empty()) {
        out << "Comments:\n";
        std::istringstream lines(*b.Comments);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out << "  " << line << "\n";
        }
    }
    out << "Archived briefs: " << b.ArchivePaths.size() << "\n";
    for (size_t i = 0; i < b.ArchivePaths.size(); ++i)
        out << "  " << b.ArchiveTitles[i] << "  " << b.ArchivePaths[i] << "\n";
    out << "Entries: " << b.WebList.Count() << "\n";
    for (int i = 0; i < b.WebList.Count(); ++i) {
        const TWebPage& e = b.WebList.Entry(i);
        out << "  " << i << "  [" << (e.Active ? 'x' : ' ') << "] "
            << (e.IsSearchEntry() ? "search " : "web    ") << e.EntryName;
        if (!e.IsSearchEntry() && !e.Address.empty() && e.Address != e.EntryName)
            out << "  <" << e.Address << ">";
        out << "  depth " << e.SpiderDepth;
        if (e.LoadImages) out << ", images";
        if (e.LoadBinaries) out << ", other files";
        if (!e.LocalOnly) out << ", external links";
        if (!e.UserName.empty()) out << ", user " << e.UserName;
        if (!e.Password.empty()) out << ", password set";
        if (e.Locked) out << ", locked";
        out << "\n";
    }
}

void RunShow(const ShowOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadBriefFile(o.Path, brief, state)) return;
    if (o.Json)
        WriteJson(brief, state.Out);
    else
        WriteReadable(brief, state.Out);
}

void AddShowCommand(CLI::App& app, CliState& state) {
    auto o = std::make_shared<ShowOptions>();
    CLI::App* cmd =
        app.add_subcommand("show", "Show a brief file's fields, archived briefs and entries");
    cmd->add_option("BRIEF", o->Path, "The brief file (.brf)")->required();
    cmd->add_flag("--json", o->Json, "One JSON object with the stored field names");
    cmd->callback([o, &state] { RunShow(*o, state); });
}

} // namespace

void AddBriefCommands(CLI::App& app, CliState& state) {
    AddNewCommand(app, state);
    AddAddCommand(app, state);
    AddRemoveCommand(app, state);
    AddShowCommand(app, state);
}

} // namespace gathra
