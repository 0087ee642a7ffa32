#include "Platform/Registry.h"
#include "Platform/ProcessStart.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Sets (or unsets, for nullptr) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

CommandRunner NoDesktop() {
    return
        [](const std::vector<std::string>&) -> std::optional<std::string> { return std::nullopt; };
}

std::string EveryByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

TEST(RegistryFile, EveryByteValueComesBackFromANewReader) {
    TempDir dir;
    const std::string values[] = {EveryByte(),      std::string("\0\0", 2),   "\r\n", "\\", "\"",
                                  "a\\\"b\\x41\\0", " leading and trailing ", ""};
    Registry writer(dir / "registry", NoDesktop(), {});
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_TRUE(writer.WriteValue("Group", "Value " + std::to_string(i), values[i]));
    Registry reader(dir / "registry", NoDesktop(), {});
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(reader.ReadValue("Group", "Value " + std::to_string(i)), values[i]) << i;
    EXPECT_EQ(reader.UnreadableLines(), 0);
}

TEST(RegistryFile, TheFileIsPrintableTextWithOneKeyPerLine) {
    TempDir dir;
    Registry registry(dir / "registry", NoDesktop(), {});
    ASSERT_TRUE(registry.WriteValue("Disk Buffer", "MegaBytes", "12"));
    ASSERT_TRUE(registry.WriteValue("Briefs", "Password", EveryByte()));
    std::string text = ReadFileBytes(dir / "registry");
    for (char c : text)
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
    EXPECT_NE(
        text.find("Software\\Orsolo Development\\Gathra Light\\Disk Buffer\\MegaBytes=\"12\"\n"),
        std::string::npos);
}

TEST(RegistryFile, KeyNamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    TempDir dir;
    Registry registry(dir / "registry", NoDesktop(), {});
    ASSERT_TRUE(registry.WriteValue("Proxy", "Proxy Port", "80"));
    ASSERT_TRUE(registry.WriteValue("PROXY", "proxy port", "8080"));
    EXPECT_EQ(registry.ReadValue("proxy", "PROXY PORT"), "8080");
    std::string text = ReadFileBytes(dir / "registry");
    EXPECT_NE(text.find("\\Proxy\\Proxy Port=\"8080\""), std::string::npos);
    EXPECT_EQ(text.find("proxy port"), std::string::npos);
}

TEST(RegistryFile, KeysWithEqualsQuotesAndPercentSignsRoundTrip) {
    TempDir dir;
    Registry registry(dir / "registry", NoDesktop(), {});
    ASSERT_TRUE(registry.WriteValue("a=b", "c\"d%41\x01\xE9", "value"));
    Registry reader(dir / "registry", NoDesktop(), {});
    EXPECT_EQ(reader.ReadValue("a=b", "c\"d%41\x01\xE9"), "value");
    EXPECT_EQ(reader.ReadValue("a=b", "c\"dA\x01\xE9"), std::nullopt);
}

TEST(RegistryFile, MissingFileAndMissingKeysReadAsAbsent) {
    TempDir dir;
    Registry registry(dir / "none" / "registry", NoDesktop(), {});
    EXPECT_EQ(registry.ReadValue("Browser", "Browser Path"), std::nullopt);
    // A write makes the missing folder, for the user alone.
    ASSERT_TRUE(registry.WriteValue("Browser", "Browser Path", "x"));
    struct stat info {};
    ASSERT_EQ(stat((dir / "none").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(registry.ReadValue("Browser", "Browser Service"), std::nullopt);
}

TEST(RegistryFile, WritesReplaceTheFileWithModeSixHundredAndLeaveNoTemporaryFiles) {
    TempDir dir;
    Registry registry(dir / "registry", NoDesktop(), {});
    ASSERT_TRUE(registry.WriteValue("G", "A", "1"));
    ASSERT_EQ(chmod((dir / "registry").c_str(), 0644), 0);
    struct stat before {};
    ASSERT_EQ(stat((dir / "registry").c_str(), &before), 0);
    ASSERT_TRUE(registry.WriteValue("G", "B", "2"));
    struct stat after {};
    ASSERT_EQ(stat((dir / "registry").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the new file is renamed over the old one";
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "registry");
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(registry.ReadValue("G", "A"), "1");
}

TEST(RegistryFile, AFailedWriteLeavesNoTemporaryFileAndIsCounted) {
    TempDir dir;
    // A folder where the file should be: nothing can be renamed over it.
    std::filesystem::create_directories(dir / "registry" / "inside");
    Registry registry(dir / "registry", NoDesktop(), {});
    EXPECT_FALSE(registry.WriteValue("G", "A", "1"));
    EXPECT_EQ(registry.FailedWrites(), 1);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "registry" / "inside"));
}

TEST(RegistryFile, WritersAtTheSameTimeKeepEachOthersValues) {
    TempDir dir;
    auto writeMany = [&dir](const std::string& group) {
        Registry registry(dir / "registry", NoDesktop(), {});
        for (int i = 0; i < 25; ++i)
            registry.WriteValue(group, std::to_string(i), group);
    };
    std::thread first(writeMany, "First");
    std::thread second(writeMany, "Second");
    first.join();
    second.join();
    Registry reader(dir / "registry", NoDesktop(), {});
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(reader.ReadValue("First", std::to_string(i)), "First") << i;
        EXPECT_EQ(reader.ReadValue("Second", std::to_string(i)), "Second") << i;
    }
}

TEST(RegistryFile, CorruptLinesAreSkippedCountedAndKeptOnTheNextWrite) {
    TempDir dir;
    const std::string base = "Software\\Orsolo Development\\Gathra Light\\";
    const std::string damaged[] = {
        base + "Proxy\\Proxy Port=\"80",        // cut off before its closing quote
        base + "Proxy\\Proxy Server=\"a\\qb\"", // unknown escape
        base + "Briefs\\Retries=\"1\"\"",       // a stray quote
        base + "Briefs\\UserName=\"\\x4\"",     // short hex escape
        "no equals sign at all",
        "=\"value without a key\"",
        std::string("binary\0\xFF\x01 junk", 15),
        base + "Bad%ZZ\\Key=\"1\"",
    };
    std::string text = base + "Disk Buffer\\MegaBytes=\"7\"\r\n";
    for (const std::string& line : damaged)
        text += line + "\n";
    text += "# a note of the user\n";
    text += base + "Browser\\Browser Path=\"/usr/bin/web\""; // no final newline
    WriteFileBytes(dir / "registry", text);

    Registry registry(dir / "registry", NoDesktop(), {});
    EXPECT_EQ(registry.ReadValue("Disk Buffer", "MegaBytes"), "7");
    EXPECT_EQ(registry.ReadValue("Browser", "Browser Path"), "/usr/bin/web");
    EXPECT_EQ(registry.ReadValue("Proxy", "Proxy Port"), std::nullopt);
    EXPECT_EQ(registry.ReadValue("Briefs", "Retries"), std::nullopt);
    EXPECT_EQ(registry.UnreadableLines(), static_cast<int>(std::size(damaged)));

    ASSERT_TRUE(registry.WriteValue("Proxy", "Proxy Port", "8080"));
    std::string rewritten = ReadFileBytes(dir / "registry");
    for (const std::string& line : damaged)
        EXPECT_NE(rewritten.find(line + "\n"), std::string::npos) << line;
    EXPECT_NE(rewritten.find("# a note of the user\n"), std::string::npos);
    EXPECT_EQ(registry.ReadValue("Proxy", "Proxy Port"), "8080");
    EXPECT_EQ(registry.ReadValue("Disk Buffer", "MegaBytes"), "7");
}

TEST(RegistryFile, AFileCutAtAnyOffsetGivesEachValueWholeOrNotAtAll) {
    TempDir dir;
    const std::map<std::string, std::string> values = {
        {"Port", "8080"}, {"Quote", "a\"b"}, {"Zero", std::string("x\0y", 3)},
        {"Slash", "\\"},  {"Empty", ""},     {"Bytes", "\xE9\r\n"}};
    {
        Registry writer(dir / "whole", NoDesktop(), {});
        for (const auto& [name, value] : values)
            ASSERT_TRUE(writer.WriteValue("G", name, value));
    }
    const std::string whole = ReadFileBytes(dir / "whole");
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        WriteFileBytes(dir / "cut", whole.substr(0, cut));
        Registry reader(dir / "cut", NoDesktop(), {});
        for (const auto& [name, value] : values) {
            std::optional<std::string> read = reader.ReadValue("G", name);
            if (read) {
                EXPECT_EQ(*read, value) << name << " cut at " << cut;
            }
        }
    }
}

TEST(RegistryFile, EscapedValuesAreStrictlyParsed) {
    EXPECT_EQ(Registry::UnescapeValue("\"\\x41\\x7a\""), "Az");
    EXPECT_EQ(Registry::UnescapeValue("\"\\x4g\""), std::nullopt);
    EXPECT_EQ(Registry::UnescapeValue("\"abc\\\""), std::nullopt);
    EXPECT_EQ(Registry::UnescapeValue("abc"), std::nullopt);
    EXPECT_EQ(Registry::UnescapeValue("\""), std::nullopt);
    EXPECT_EQ(Registry::EscapeValue(std::string("a\0\\\"\xE9", 5)), "\"a\\0\\\\\\\"\\xE9\"");
}

TEST(RegistryLocation, ConfigFolderThenXdgConfigHomeThenHome) {
    ScopedEnv config("GATHRA_CONFIG_DIR", "/c/gathra");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/c/xdg");
    ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(Registry::DefaultFile(), "/c/gathra/registry");
    {
        ScopedEnv emptyConfig("GATHRA_CONFIG_DIR", "");
        EXPECT_EQ(Registry::DefaultFile(), "/c/xdg/gathralight/registry");
        ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(Registry::DefaultFile(), "/home/u/.config/gathralight/registry");
    }
}

// HKEY_CLASSES_ROOT
// --------------------------------------------------------------------------------

class HtmlAssociation : public ::testing::Test {
protected:
    void AddDesktopFile(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(apps_.Path());
        WriteFileBytes(apps_ / name, text);
    }
    CommandRunner Answering(std::optional<std::string> answer) {
        return [this, answer](const std::vector<std::string>& argv) {
            asked_ = argv;
            return answer;
        };
    }
    std::optional<std::string> CommandFor(CommandRunner run) {
        Registry registry(config_ / "registry", std::move(run),
                          {config_ / "missing", apps_.Path()});
        std::optional<std::string> fileClass = registry.ReadClassesRoot(".htm");
        if (!fileClass) return std::nullopt;
        return registry.ReadClassesRoot(*fileClass + "\\shell\\open\\command");
    }

    TempDir config_;
    TempDir apps_;
    std::vector<std::string> asked_;
};

TEST_F(HtmlAssociation, TheDefaultHandlersExecProgramComesBackWithAQuotedPlaceholder) {
    AddDesktopFile("webby.desktop", "[Desktop Entry]\nName=Webby\n"
                                    "Exec=/opt/web/bin/webby --new-window %u\n"
                                    "[Desktop Action new]\nExec=/other %u\n");
    EXPECT_EQ(CommandFor(Answering("webby.desktop\n")), "/opt/web/bin/webby \"%1\"");
    EXPECT_EQ(asked_, (std::vector<std::string>{"xdg-mime", "query", "default", "text/html"}));
}

TEST_F(HtmlAssociation, QuotedAndEnvPrefixedExecLinesGiveTheProgram) {
    AddDesktopFile("quoted.desktop",
                   "[Desktop Entry]\nExec = \"/opt/My Browser/run\\\\\\\\er\" %U\n");
    EXPECT_EQ(CommandFor(Answering("quoted.desktop")), "/opt/My Browser/run\\er \"%1\"");
    AddDesktopFile("env.desktop", "[Desktop Entry]\nExec=env -u X A=1 B=2 /usr/lib/br/br %U\n");
    EXPECT_EQ(CommandFor(Answering("env.desktop")), "/usr/lib/br/br \"%1\"");
}

TEST_F(HtmlAssociation, AProgramWithoutAFolderIsLookedUpOnThePath) {
    TempDir bin;
    WriteFileBytes(bin / "webby", "#!/bin/sh\n");
    ASSERT_EQ(chmod((bin / "webby").c_str(), 0755), 0);
    ScopedEnv path("PATH", bin.Path().c_str());
    AddDesktopFile("webby.desktop", "[Desktop Entry]\nExec=webby %U\n");
    EXPECT_EQ(CommandFor(Answering("webby.desktop")), (bin / "webby").string() + " \"%1\"");
    AddDesktopFile("other.desktop", "[Desktop Entry]\nExec=nowhere %U\n");
    EXPECT_EQ(CommandFor(Answering("other.desktop")), "nowhere \"%1\"");
}

TEST_F(HtmlAssociation, WithoutAHandlerTheCommandIsXdgOpen) {
    EXPECT_EQ(CommandFor(Answering(std::nullopt)), "xdg-open \"%1\"");
    EXPECT_EQ(CommandFor(Answering("\n")), "xdg-open \"%1\"");
    EXPECT_EQ(CommandFor(Answering("absent.desktop")), "xdg-open \"%1\"");
    EXPECT_EQ(CommandFor(Answering("../escape.desktop")), "xdg-open \"%1\"");
    AddDesktopFile("noexec.desktop", "[Desktop Entry]\nName=x\n[Other]\nExec=/x %u\n");
    EXPECT_EQ(CommandFor(Answering("noexec.desktop")), "xdg-open \"%1\"");
}

TEST_F(HtmlAssociation, OtherClassesRootKeysAreAbsent) {
    Registry registry(config_ / "registry", Answering("x.desktop"), {apps_.Path()});
    EXPECT_EQ(registry.ReadClassesRoot(".txt"), std::nullopt);
    EXPECT_EQ(registry.ReadClassesRoot("\\shell\\open\\command"), std::nullopt);
}

TEST(ExecLine, FirstWordOfTheDesktopEntryGroup) {
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExec=\"a\\sb\" %u\n"), "a b");
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExec=a\\sb %u\n"), "a");
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExecutable=x\nExec=y\n"), "y");
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExec[de]=x\n"), "");
    EXPECT_EQ(ExecProgram("Exec=outside\n[Desktop Entry]\n"), "");
    EXPECT_EQ(ExecProgram("[Desktop Entry]\r\nExec=\"q\\\"uote\" %u\r\n"), "q\"uote");
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExec=\"unterminated"), "unterminated");
    // Split as a browser path is: a backslash outside quotes and single quotes group too.
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExec=/opt/my\\\\ web/run %u\n"), "/opt/my web/run");
    EXPECT_EQ(ExecProgram("[Desktop Entry]\nExec='/opt/a b/run' %u\n"), "/opt/a b/run");
}

// An xdg-mime that never answers (a hung desktop session bus, say) must not hold up the start:
// after the bound the default handler is used, and the stand-in is gone with what it started.
TEST_F(HtmlAssociation, AnXdgMimeThatNeverAnswersIsGivenUpForTheDefault) {
    const char* scripts[] = {
        "echo $$ > \"$PIDFILE\"; exec sleep 600",                     // says nothing, never ends
        "echo $$ > \"$PIDFILE\"; echo webby.desktop; exec sleep 600", // answers, never ends
        "echo $$ > \"$PIDFILE\"; exec >&-; exec sleep 600",           // closes its output, lingers
        "sleep 600 & echo $! > \"$PIDFILE\"; wait",                   // leaves a child behind
    };
    AddDesktopFile("webby.desktop", "[Desktop Entry]\nExec=/usr/bin/webby %u\n");
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        TempDir bin;
        WriteFileBytes(bin / "xdg-mime", std::string("#!/bin/sh\n") + script + "\n");
        std::filesystem::permissions(bin / "xdg-mime", std::filesystem::perms::owner_all);
        const std::string path = bin.Path().string() + ":" + std::getenv("PATH");
        ScopedEnv onPath("PATH", path.c_str());
        ScopedEnv pidFile("PIDFILE", (bin / "pid").c_str());
        Registry registry(config_ / "registry",
                          [](const std::vector<std::string>& argv) {
                              return RunCommandWithin(argv, std::chrono::milliseconds(200));
                          },
                          {apps_.Path()});
        EXPECT_EQ(registry.ReadClassesRoot(".htm"), "htmlfile");
        const long pid = std::atol(ReadFileBytes(bin / "pid").c_str());
        ASSERT_GT(pid, 0);
        // Killed with its process group; a child left to another parent may take a moment to be
        // reaped, but it no longer runs.
        for (int i = 0; i < 500 && ::kill(static_cast<pid_t>(pid), 0) == 0; ++i) {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string pidText, name, state;
            stat >> pidText >> name >> state;
            if (state == "Z" || !stat) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        if (stat >> pidText >> name >> state) {
            EXPECT_EQ(state, "Z");
        }
    }
}

TEST(CommandRunning, OutputOfASuccessfulProgramOnly) {
    EXPECT_EQ(RunCommand({"echo", "one", "two"}), "one two\n");
    EXPECT_EQ(RunCommand({"sh", "-c", "echo partial; exit 3"}), std::nullopt);
    EXPECT_EQ(RunCommand({"gathra-no-such-program-here"}), std::nullopt);
    EXPECT_EQ(RunCommand({}), std::nullopt);
    // The words reach the program as they are: no shell sees them.
    EXPECT_EQ(RunCommand({"echo", "$HOME;", "*"}), "$HOME; *\n");
}

} // namespace
} // namespace gathra
