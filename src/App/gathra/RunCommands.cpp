#include "App/gathra/RunCommands.h"

#include "App/gathra/CliCommands.h"
#include "App/gathra/CliDialogs.h"
#include "App/gathra/SiteServer.h"
#include "Brief/Brief.h"
#include "Brief/BriefFile.h"
#include "Desktop/BrowserBridge.h"
#include "Run/RunCancel.h"
#include "Run/RunFlags.h"
#include "Run/RunHost.h"
#include "Run/SkeinThread.h"
#include "Search/BriefSearch.h"
#include "Platform/Clock.h"
#include "Platform/Dialogs.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Registry.h"
#include "Platform/SocketCanceller.h"
#include "Settings/Settings.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gathra {

namespace {

constexpr int kExitStopped = 130;

// Ctrl+C: the first asks the run to stop as Stop Brief does (it still finishes its summary,
// catalogue and archive entry); the second ends the program at once.
std::atomic<int> gInterrupts{0};

// The main thread's side of a run on the command line: there are no windows, so each call is
// carried out in place, and progress becomes text on standard error.
class CliRunHost : public RunHost {
public:
    CliRunHost(std::ostream& err, const GenerateOptions& options, Dialogs& dialogs)
        : err_(err), options_(options), dialogs_(dialogs) {}
    ~CliRunHost() override { EndLine(); }

    void LockControls(TBrief& brief) override {
        brief.Generating = 1;
        // The run clears AbortFlag right before it locks; a Ctrl+C that came while it was still
        // making its folder and summary must stop it all the same.
        if (options_.CatchInterrupt && gInterrupts.load() > 0) RequestAbort();
    }
    void UnlockControls(TBrief& brief) override { brief.Generating = 0; }
    void CreateProgress() override {}
    void ShowProgress() override {}
    void FreeProgress() override { EndLine(); }
    void UpdateItem(ProgressLabel label, const std::string& text) override {
        std::string& slot = labels_[static_cast<size_t>(label)];
        if (slot == text) return;
        slot = text;
        if (options_.Quiet) return;
        if (options_.Terminal) {
            Redraw();
        } else if (label == ProgressLabel::CurrAddr) {
            err_ << Label(ProgressLabel::CurrEntry) << " [level " << Label(ProgressLabel::CurrDepth)
                 << "] " << text << "\n";
        }
    }
    void UpdateProgress(int percent) override {
        if (percent == percent_) return;
        percent_ = percent;
        if (!options_.Quiet && options_.Terminal) Redraw();
    }
    void SetStatusText(const std::string&) override {}
    void ShowDiskError(const std::string& text, const std::string& caption) override {
        ShowDiskFailure(text, caption, {});
    }
    void ShowDiskFailure(const std::string& text, const std::string& caption,
                         const std::string& cause) override {
        EndLine();
        dialogs_.ShowFailure(text, caption, cause);
    }
    // The setting by the name the settings command gives it.
    void ShowDiskBufferReached(std::uint64_t freeBytes, std::uint64_t bufferBytes) override {
        ShowDiskFailure(DiskBufferText(freeBytes, bufferBytes,
                                       "the disk-buffer-mb setting (gathra settings set "
                                       "disk-buffer-mb)"),
                        std::string(kDiskErrorCaption), {});
    }
    void BriefReady(const std::string&, const std::string&, const std::string&) override {}
    void AppendArchive(TBrief& brief, const std::string& path, const std::string& title) override {
        brief.ArchivePaths.push_back(path);
        brief.ArchiveTitles.push_back(title);
    }
    void Repaint() override {}
    void ShowIndexProblem(const std::string& text) override {
        EndLine();
        err_ << "gathra: " << text << "\n";
    }
    void SaveBrief(TBrief& brief) override { lastSaveFailed_ = !SaveBriefs2(brief, dialogs_); }
    // The run's last save of the brief failed: its archive entry is not on disk.
    bool LastSaveFailed() const { return lastSaveFailed_; }

    const std::string& Label(ProgressLabel label) const {
        return labels_[static_cast<size_t>(label)];
    }

private:
    static int TerminalWidth() {
        winsize size{};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 10) return size.ws_col;
        return 80;
    }

    void Redraw() {
        std::string line =
            Label(ProgressLabel::CurrEntry) + "  level " + Label(ProgressLabel::CurrDepth) +
            "  pages " + Label(ProgressLabel::PagesLoaded) + "  images " +
            Label(ProgressLabel::ImagesLoaded) + "  " + Label(ProgressLabel::BytesLoaded) +
            " KB  " + std::to_string(std::max(percent_, 0)) + "%  " +
            Label(ProgressLabel::CurrAddr);
        size_t width = static_cast<size_t>(TerminalWidth() - 1);
        if (line.size() > width) line.resize(width);
        err_ << "\r\033[K" << line << std::flush;
        lineShown_ = true;
    }

    void EndLine() {
        if (lineShown_) err_ << "\n";
        lineShown_ = false;
    }

    std::ostream& err_;
    const GenerateOptions& options_;
    Dialogs& dialogs_;
    std::array<std::string, 7> labels_;
    int percent_ = -1;
    bool lineShown_ = false;
    bool lastSaveFailed_ = false;
};

extern "C" void OnInterrupt(int) {
    if (gInterrupts.fetch_add(1) == 0) {
        // Both calls are safe in a signal handler: an atomic store and a write to an eventfd.
        RequestAbort();
        return;
    }
    ::_exit(kExitStopped);
}

class InterruptGuard {
public:
    explicit InterruptGuard(bool active) : active_(active) {
        if (!active_) return;
        gInterrupts = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        // Writes of progress and of the summary path to a pipe must not fail half-way because
        // of the interrupt; the socket waits are woken by the canceller, not by EINTR.
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() {
        if (active_) ::sigaction(SIGINT, &previous_, nullptr);
    }
    bool Interrupted() const { return active_ && gInterrupts.load() > 0; }

private:
    bool active_;
    struct sigaction previous_ {};
};

// Shows the summary page as View Brief and `archive view` do: its file address, through the
// browser bridge.
void OpenInBrowser(const AppSettings& settings, const std::string& path, Dialogs& dialogs) {
    AppSettings browser = settings;
    TBrowserBridge::Ports ports;
    ports.Settings = &browser;
    ports.Dlg = &dialogs;
    TBrowserBridge(std::move(ports)).Open(FileAddress(path), true);
}

bool StderrIsTerminal(const std::ostream& err) {
    return &err == &std::cerr && ::isatty(STDERR_FILENO) != 0;
}

std::filesystem::path DemoSiteFolder(const std::string& programFolder) {
    std::filesystem::path beside = std::filesystem::path(programFolder) / "demo-site";
    std::error_code ec;
    if (std::filesystem::is_directory(beside / "images", ec)) return beside;
    return std::filesystem::path(GATHRA_SOURCE_DATA_DIR) / "demo-site";
}

// The demo's entries: the site at depths 1 to 3 with images on and off, a search answered by the
// demo server through the proxy setting, a page that is missing, a mail address and an entry
// that is switched off.
void FillDemoBrief(TBrief& brief, const std::string& hostPort) {
    const std::string site = "http://" + hostPort + "/";
    brief.WebList.Clear();
    brief.BriefName = "Riverside Gazette";
    brief.Comments = "A brief of the demo site that gathra serves on this machine.\r\n";
    auto add = [&](const std::string& name, const std::string& address, int depth, bool images,
                   bool localOnly) -> TWebPage& {
        TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
        e.EntryName = name;
        e.Address = address;
        e.SpiderDepth = depth;
        e.DepthText = std::to_string(depth);
        e.LoadImages = images ? 1 : 0;
        e.LocalOnly = localOnly ? 1 : 0;
        e.NameSet = 1;
        return e;
    };
    add("Front page", site + "index.htm", 2, true, true);
    add("Town news", site + "news/index.htm", 3, false, true);
    add("The Gazette in frames", site + "frames.htm", 1, true, true);
    TWebPage& search = *brief.WebList.AddEntry(EntryKind::Search);
    search.EntryName = "roses tomatoes";
    // Without NameSet the query would be lost when Demo.brf is read again: a reloaded entry
    // without a name of its own takes its address, and a search entry has none.
    search.NameSet = 1;
    search.SpiderDepth = 2;
    search.DepthText = "2";
    search.LoadImages = 1;
    search.LocalOnly = 0;
    add("Letters to the editor", site + "letters.htm", 1, false, true);
    add("Write to the editor", "mailto://editor@riverside.example", 1, false, true);
    add("Old county pages (switched off)",
        "http://localhost:" + hostPort.substr(hostPort.find(':') + 1) + "/elsewhere.htm", 1, false,
        true)
        .Active = 0;
}

int RunDemo(const std::string& folderText, const GenerateOptions& options, std::ostream& out,
            std::ostream& err) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(folderText, ec);
    std::filesystem::create_directories(folder / "settings", ec);
    if (ec) {
        err << "gathra: cannot make the demo folder " << folder.string() << ": " << ec.message()
            << "\n";
        return 1;
    }
    const std::string programFolder = DetectProgramFolder();
    SiteServer server(DemoSiteFolder(programFolder));
    if (!server.Listening()) {
        err << "gathra: cannot serve the demo site: " << server.Error() << "\n";
        return 1;
    }

    // The demo's own settings, kept in the demo folder: the proxy leads every request, the
    // search service's included, to the demo server.
    Registry registry(folder / "settings" / "registry");
    registry.WriteValue(settings_keys::Proxy, settings_keys::ProxyServer, "127.0.0.1");
    registry.WriteValue(settings_keys::Proxy, settings_keys::ProxyPort,
                        std::to_string(server.Port()));
    registry.WriteValue(settings_keys::Briefs, settings_keys::Retries, "1");
    AppSettings settings;
    settings.ProgramFolder = programFolder;
    LoadSettings(settings, registry);

    CliDialogs dialogs(err);
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = (folder / "Demo.brf").string();
    // A demo folder used before keeps its archived briefs; the entries are made afresh because
    // the server's port changes from run to run.
    if (std::filesystem::exists(brief.FileName, ec)) {
        TBrief previous;
        previous.FileName = brief.FileName;
        if (ReadBriefs2(previous, dialogs)) {
            brief.ArchivePaths = previous.ArchivePaths;
            brief.ArchiveTitles = previous.ArchiveTitles;
        }
    }
    brief.BriefFolder = folder.string() + "/";
    FillDemoBrief(brief, server.HostPort());
    ProgramFileNameCounters().Reset();
    if (!SaveBriefs2(brief, dialogs)) return 1;
    if (!options.Quiet) err << "Serving the demo site on http://" << server.HostPort() << "/\n";
    return GenerateLoadedBrief(brief, settings, options, out, err);
}

} // namespace

std::vector<std::string> BrowserCommand(const std::string& browserPath, const std::string& target) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : browserPath) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    if (words.empty()) return {"xdg-open", target};
    bool placed = false;
    for (std::string& w : words) {
        size_t at = w.find("%1");
        if (at == std::string::npos) continue;
        w.replace(at, 2, target);
        placed = true;
    }
    if (!placed) words.push_back(target);
    return words;
}

int GenerateLoadedBrief(TBrief& brief, const AppSettings& settings, const GenerateOptions& options,
                        std::ostream& out, std::ostream& err) {
    CliDialogs dialogs(err);
    CliRunHost host(err, options, dialogs);
    SystemClock systemClock;
    ProgramRunFlags().Reset();
    ProgramSocketCanceller().Reset();

    TSkeinThread::Options runOptions;
    runOptions.Settings = &settings;
    runOptions.Host = &host;
    runOptions.Clock = options.Clock != nullptr ? options.Clock : &systemClock;
    runOptions.TimeUnitMs = options.TimeUnitMs;
    TSearchIndexer indexer;
    if (options.Index) runOptions.Index = &indexer;
    TSkeinThread run(brief, runOptions);
    bool interrupted = false;
    {
        InterruptGuard guard(options.CatchInterrupt);
        if (!run.RunHere()) {
            err << "gathra: another brief is being generated\n";
            return 1;
        }
        interrupted = guard.Interrupted();
    }
    const RunOutcome& outcome = run.Outcome();
    if (!options.Quiet) {
        err << outcome.Pages << " pages, " << outcome.Images << " images, " << outcome.Bytes / 1024
            << " KB";
        if (outcome.PageResourcesFailed > 0)
            err << ", " << outcome.PageResourcesFailed
                << " page resources not fetched (left at their web addresses)";
        err << "\n";
    }
    if (!outcome.SummaryPath.empty()) {
        out << outcome.SummaryPath << "\n" << std::flush;
        if (options.Open && !interrupted) OpenInBrowser(settings, outcome.SummaryPath, dialogs);
    } else if (outcome.Started && !outcome.DiskError) {
        err << "gathra: no free summary page name in " << outcome.RunFolder << "\n";
        return 1;
    }
    if (outcome.DiskError) return 1;
    if (host.LastSaveFailed()) {
        err << "gathra: the run is not recorded in " << brief.FileName;
        // Its files are kept where the user can find them.
        if (!outcome.RunFolder.empty()) err << "; its files stay in " << outcome.RunFolder;
        err << "\n";
        return 1;
    }
    if (interrupted) return kExitStopped;
    if (options.Check && !outcome.RunFolder.empty() &&
        ReportRunCheck(outcome.RunFolder, false, err, err) != 0)
        return 1;
    return 0;
}

void AddRunCommands(CLI::App& app, CliState& state) {
    auto generate = app.add_subcommand("generate", "Retrieve a brief's active entries into a new "
                                                   "folder next to the brief file");
    auto briefFile = std::make_shared<std::string>();
    auto flags = std::make_shared<GenerateOptions>();
    generate->add_option("BRIEF", *briefFile, "the brief file (.brf)")->required();
    generate->add_flag("--quiet", flags->Quiet, "no progress on standard error");
    generate->add_flag("--open", flags->Open, "open the summary page in the browser afterwards");
    generate->add_flag("--check", flags->Check,
                       "check the new folder's references afterwards (as gathra check; exit 1 "
                       "when one is broken)");
    auto noIndex = std::make_shared<bool>(false);
    generate->add_flag("--no-index", *noIndex,
                       "do not add the run's pages to the brief's search index (for measuring)");
    generate->callback([briefFile, flags, noIndex, &state] {
        GenerateOptions options = *flags;
        options.Terminal = StderrIsTerminal(state.Err);
        options.Index = !*noIndex;
        std::error_code ec;
        std::string path = std::filesystem::absolute(*briefFile, ec).string();
        if (ec || !std::filesystem::is_regular_file(path, ec)) {
            state.Fail(CliExitBriefFailed, "no brief file " + *briefFile);
            return;
        }
        TBrief brief;
        if (!LoadBriefFile(path, brief, state)) return;
        // A loaded brief starts its file names afresh, as a newly opened brief window does.
        ProgramFileNameCounters().Reset();
        Registry registry(Registry::DefaultFile());
        AppSettings settings;
        settings.ProgramFolder = DetectProgramFolder();
        LoadSettings(settings, registry);
        state.Status = GenerateLoadedBrief(brief, settings, options, state.Out, state.Err);
    });

    auto demo = app.add_subcommand("demo", "Serve the bundled demo site on this machine and "
                                           "generate a brief of it");
    auto folder = std::make_shared<std::string>("gathra-demo");
    auto quiet = std::make_shared<bool>(false);
    demo->add_option("FOLDER", *folder, "where Demo.brf and its generated folders go")
        ->capture_default_str();
    demo->add_flag("--quiet", *quiet, "no progress on standard error");
    demo->callback([folder, quiet, &state] {
        GenerateOptions options;
        options.Quiet = *quiet;
        options.Terminal = StderrIsTerminal(state.Err);
        state.Status = RunDemo(*folder, options, state.Out, state.Err);
    });

    // A plain static server for the crawl benchmark and for trying the program by hand.
    auto serve = app.add_subcommand("serve-site", "Serve a folder on 127.0.0.1 until stopped");
    auto root = std::make_shared<std::string>();
    serve->add_option("FOLDER", *root, "the folder to serve")->required();
    serve->group("");
    serve->callback([root, &state] {
        // Blocked before the server's thread starts, so that the thread inherits the mask and
        // the signal is taken by sigwait below rather than ending the program mid-answer.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        SiteServer server(*root);
        if (!server.Listening()) {
            state.Fail(1, server.Error());
            return;
        }
        state.Out << server.Port() << "\n" << std::flush;
        int sig = 0;
        ::sigwait(&set, &sig);
        state.Status = 0;
    });
}

} // namespace gathra
