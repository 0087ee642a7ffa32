// A binary document's body goes to its file as it arrives: it is stored whole and intact without
// being held in memory, and every way its transfer can end early leaves no file behind.
#include "Brief/Brief.h"
#include "Net/HttpClient.h"
#include "Net/ResponseReader.h"
#include "Platform/SocketCanceller.h"
#include "Run/FileNames.h"
#include "Run/PageRewriter.h"
#include "Run/RunHost.h"
#include "Run/SkeinThread.h"
#include "support/BriefRun.h"
#include "support/FetchRequest.h"
#include "support/QuietHost.h"
#include "support/RewriteRun.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <sys/resource.h>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;

// Bytes of every value, NUL, CR and LF among them, in no simple pattern.
std::string Noise(size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& f : std::filesystem::recursive_directory_iterator(folder))
        if (f.is_regular_file()) names.insert(f.path().lexically_relative(folder).string());
    return names;
}

// Looks at the response buffer each time the client shows its progress (on the client's own
// thread, between two blocks), and stops the transfer when told to.
class WatchingHost : public test::QuietHost {
public:
    struct Sample {
        size_t InMemory;
        std::uint64_t Spooled;
        size_t NamesInFolder;
        std::uintmax_t HiddenOnDisk; // the hidden file's size; 0 for an unnamed one
    };
    void UpdateProgress(int) override {
        if (Buffer == nullptr) return;
        const TBodySpool* spool = Buffer->Spool();
        std::error_code error;
        const std::uintmax_t hidden = spool != nullptr && !spool->HiddenPath().empty()
                                          ? std::filesystem::file_size(spool->HiddenPath(), error)
                                          : 0;
        Samples.push_back(
            {Buffer->Size(), spool != nullptr ? spool->Size() : 0, Names(Folder).size(), hidden});
        if (spool != nullptr && StopAfter > 0 && spool->Size() >= StopAfter) *Stop = 1;
    }

    std::uint64_t MostSpooled() const {
        std::uint64_t most = 0;
        for (const Sample& s : Samples)
            most = std::max(most, s.Spooled);
        return most;
    }

    const TResponseBuffer* Buffer = nullptr;
    std::filesystem::path Folder;
    std::vector<Sample> Samples;
    std::uint64_t StopAfter = 0; // raise *Stop once this much is spooled
    std::atomic<std::uint8_t>* Stop = nullptr;
};

const std::string kZipHeader = "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\n"
                               "Content-Length: 3000000\r\n\r\n";

// Parameter: unnamed spool files (where the file system has them), or hidden ".part" files.
class SpooledTransfer : public ::testing::TestWithParam<bool> {
protected:
    SpooledTransfer() {
        r.Run.UnnamedSpoolFiles = GetParam();
        r.Run.Host = &host;
        r.Run.Canceller = &canceller;
        r.Run.TimeUnitMs = 5;
        r.Run.Ticks = &ticks;
        server.SetTicks(&ticks);
        host.Buffer = &buffer;
        host.Folder = r.Dir.Path();
        buffer.SetSpoolsFiles(true);
    }

    // A 3,000,000-byte body, sent in pieces of 64 KiB with short pauses.
    TestResponse Zip() {
        TestResponse zip = TestResponse::Raw(kZipHeader + body);
        zip.ChunkSize = 64 * 1024;
        zip.ChunkDelayMs = 2;
        return zip;
    }

    TFetchResult Fetch(const std::string& path) {
        std::string address = server.Address(path);
        return FetchDocument(test::FetchOf(address, server.HostPort(), true, true), buffer, r.Run);
    }

    test::RewriteRun r;
    test::TestTicks ticks; // the pauses of the answers and the client's bounds, on one time
    TestHttpServer server;
    SocketCanceller canceller;
    WatchingHost host;
    TResponseBuffer buffer;
    const std::string body = Noise(3000000, 7);
    const std::set<std::string> catalogOnly{"Brief0.cat"};
};

TEST_P(SpooledTransfer, ALargeBinaryIsWrittenAsItArrivesAndStoredIntact) {
    server.Serve("/big.zip", Zip());
    TFetchResult fetched = Fetch("/big.zip");
    ASSERT_TRUE(fetched.IsContent);
    EXPECT_TRUE(fetched.IsBinary);
    EXPECT_FALSE(fetched.IsText);
    // Only the header is held; the whole response is still counted.
    EXPECT_EQ(buffer.Bytes(), kZipHeader + '\0');
    ASSERT_NE(buffer.Spool(), nullptr);
    EXPECT_EQ(buffer.ResponseSize(), kZipHeader.size() + body.size() + 1);

    // While the server was still sending, the body grew on disk and never in memory.
    ASSERT_GE(host.Samples.size(), 10u);
    std::set<std::uint64_t> sizes;
    for (const WatchingHost::Sample& s : host.Samples) {
        EXPECT_LE(s.InMemory, kZipHeader.size() + r.Run.SpoolAfterBytes);
        if (s.Spooled < body.size()) sizes.insert(s.Spooled);
        if (!GetParam()) {
            EXPECT_EQ(s.HiddenOnDisk, s.Spooled); // the hidden file holds what came
        } else if (buffer.Spool()->FileKind() == TBodySpool::Kind::Unnamed) {
            EXPECT_EQ(s.NamesInFolder, 1u); // the catalogue, and no name for the body yet
        }
    }
    EXPECT_GE(sizes.size(), 5u);
    EXPECT_TRUE(std::is_sorted(host.Samples.begin(), host.Samples.end(),
                               [](const auto& a, const auto& b) { return a.Spooled < b.Spooled; }));

    StoreBody(r.Run, buffer, "GA0.zip");
    EXPECT_EQ(buffer.Spool(), nullptr);
    EXPECT_TRUE(r.File("GA0.zip") == body);
    EXPECT_EQ(Names(r.Dir.Path()), (std::set<std::string>{"Brief0.cat", "GA0.zip"}));

    // A small file is held and written whole, as before.
    const std::string small = Noise(r.Run.SpoolAfterBytes, 9);
    server.Serve("/small.gif", TestResponse::Http(200, "image/gif", small));
    fetched = Fetch("/small.gif");
    EXPECT_TRUE(fetched.IsBinary);
    EXPECT_EQ(buffer.Spool(), nullptr);
    StoreBody(r.Run, buffer, "GAI0.gif");
    EXPECT_TRUE(r.File("GAI0.gif") == small);

    // Text that is not a page is a file too: stored whole past the page cap, which still cuts
    // a page held in memory.
    r.Run.MaxPageBytes = 1000;
    const std::string text = "line\r\n" + std::string(300000, 't');
    server.Serve("/notes.txt", TestResponse::Http(200, "text/plain", text));
    server.Serve("/page.htm", TestResponse::Html(std::string(5000, 'p')));
    fetched = Fetch("/notes.txt");
    EXPECT_TRUE(fetched.IsText);
    ASSERT_NE(buffer.Spool(), nullptr);
    StoreBody(r.Run, buffer, "GA1.txt");
    EXPECT_EQ(r.File("GA1.txt"), text);
    fetched = Fetch("/page.htm");
    EXPECT_EQ(buffer.Spool(), nullptr);
    EXPECT_NE(buffer.Bytes().find(kPageCutNotice), std::string::npos);
    r.Run.Catalog.Close();
    const std::string catalog = r.File("Brief0.cat");
    EXPECT_NE(catalog.find("GA0.zip"), std::string::npos);
    EXPECT_NE(catalog.find("GAI0.gif"), std::string::npos);
    EXPECT_NE(catalog.find("GA1.txt"), std::string::npos);
}

TEST_P(SpooledTransfer, ATransferEndedMidBodyLeavesItsNoticeAndNoFile) {
    struct Case {
        const char* What;
        TestResponse Response;
        std::atomic<std::uint8_t>* Stop; // raised after 256 KiB came in
        std::string Notice;              // a text of the notice left in the buffer
    };
    TestResponse dropped = Zip();
    dropped.CloseAfter = kZipHeader.size() + 1000000;
    dropped.ResetAtEnd = true;
    // 30 time units of 5 ms must bring 1,024 bytes; this brings 300. (Without a length, the
    // progress moves, and the host looks, at every block.)
    TestResponse closed = Zip(); // a graceful close, short of the announced length
    closed.CloseAfter = kZipHeader.size() + 1000000;
    TestResponse stalls = TestResponse::Raw("HTTP/1.0 200 OK\r\nContent-Type: application/zip"
                                            "\r\n\r\n" +
                                            body.substr(0, 100000));
    stalls.ChunkSize = 20;
    stalls.ChunkDelayMs = 10;
    Case cases[] = {
        {"a dropped connection", dropped, nullptr, "The server was unable to respond"},
        {"a close before the announced length", closed, nullptr, "failed to load"},
        {"skipped", Zip(), &r.Flags.SkipFlag, "<h2>Page Skipped</h2>"},
        {"stopped", Zip(), &r.Flags.AbortFlag, "<h2>Page Skipped</h2>"},
        {"a body that stalls", stalls, nullptr, "unable to connect to the server"},
    };
    r.Run.SpoolAfterBytes = 0; // a body trickled in is written from its first byte
    for (const Case& c : cases) {
        r.Flags.Reset();
        host.Samples.clear();
        host.Stop = c.Stop;
        host.StopAfter = c.Stop != nullptr ? 256 * 1024 : 0;
        server.Enqueue(c.Response);
        TFetchResult fetched = Fetch("/cut.zip");
        EXPECT_FALSE(fetched.IsContent) << c.What;
        EXPECT_NE(buffer.Bytes().find(c.Notice), std::string::npos) << c.What;
        EXPECT_EQ(buffer.Spool(), nullptr) << c.What;
        // The body was being written when the transfer ended, and nothing of it stays.
        EXPECT_GT(host.MostSpooled(), 0u) << c.What;
        EXPECT_LT(host.MostSpooled(), body.size()) << c.What;
        EXPECT_EQ(Names(r.Dir.Path()), catalogOnly) << c.What;
    }
    // A small file, held whole rather than written as it comes, cut short the same way.
    r.Flags.Reset();
    host.Stop = nullptr;
    r.Run.SpoolAfterBytes = 64 * 1024;
    TestResponse small = TestResponse::Raw("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n"
                                           "Content-Length: 40000\r\n\r\n" +
                                           body.substr(0, 30000));
    server.Enqueue(small);
    TFetchResult fetched = Fetch("/cut.png");
    EXPECT_FALSE(fetched.IsContent);
    EXPECT_NE(buffer.Bytes().find("failed to load"), std::string::npos);
    EXPECT_EQ(Names(r.Dir.Path()), catalogOnly);
}

// The run's free-space check holds while a body is written: a disk that fills stops the run
// before the room above the disk buffer is gone, and the part written goes.
TEST_P(SpooledTransfer, ADiskThatFillsStopsTheRunBeforeTheBuffer) {
    r.Settings.DiskBufferBytes = 1 << 20;
    const std::uint64_t start = TOutputFile::BytesWritten();
    const std::uint64_t room = 400000;
    r.Run.FreeSpaceProbe = [&] {
        std::uint64_t used = TOutputFile::BytesWritten() - start;
        return (std::uintmax_t(1) << 20) + (used < room ? room - used : 0);
    };
    server.Serve("/big.zip", Zip());
    try {
        Fetch("/big.zip");
        ADD_FAILURE() << "the disk filled without a disk error";
    } catch (const TDiskError& e) {
        EXPECT_STREQ(e.what(), "Disk Full");
    }
    // One receive block at most past the room.
    EXPECT_GT(host.MostSpooled(), room / 2);
    EXPECT_LE(TOutputFile::BytesWritten() - start, room + 10000);
    EXPECT_EQ(buffer.Spool(), nullptr);
    EXPECT_EQ(Names(r.Dir.Path()), catalogOnly);

    // A disk buffer larger than any disk trips at the first block.
    r.Run.FreeSpaceProbe = nullptr;
    r.Run.SpaceLooked = false;
    r.Settings.DiskBufferBytes = std::numeric_limits<std::int64_t>::max();
    EXPECT_THROW(Fetch("/big.zip"), TDiskError);
    EXPECT_EQ(Names(r.Dir.Path()), catalogOnly);
}

// A file larger than the file system (here: the process) allows is a write error: the transfer
// fails with the file notice and the run goes on.
TEST_P(SpooledTransfer, AWriteErrorIsAFailedTransferThatLeavesNoFile) {
    struct Limit {
        rlimit Saved{};
        void (*SavedHandler)(int) = nullptr;
        explicit Limit(rlim_t bytes) {
            getrlimit(RLIMIT_FSIZE, &Saved);
            SavedHandler = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
            rlimit small = Saved;
            small.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        ~Limit() {
            setrlimit(RLIMIT_FSIZE, &Saved);
            std::signal(SIGXFSZ, SavedHandler);
        }
    };
    server.Serve("/big.zip", Zip());
    TFetchResult fetched;
    {
        Limit limit(1 << 20);
        fetched = Fetch("/big.zip");
    }
    EXPECT_FALSE(fetched.IsContent);
    EXPECT_NE(buffer.Bytes().find("unable to load the file"), std::string::npos);
    EXPECT_NE(buffer.Bytes().find("</a> failed to load."), std::string::npos);
    EXPECT_EQ(buffer.Spool(), nullptr);
    EXPECT_GT(host.MostSpooled(), 0u);
    EXPECT_EQ(Names(r.Dir.Path()), catalogOnly);
    // The same address fetched again is stored whole.
    fetched = Fetch("/big.zip");
    ASSERT_TRUE(fetched.IsContent);
    StoreBody(r.Run, buffer, "GA0.zip");
    EXPECT_TRUE(r.File("GA0.zip") == body);
}

INSTANTIATE_TEST_SUITE_P(, SpooledTransfer, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Hidden"; });

// A whole run: a picture as an entry, and a page whose links, picture and icon lead to large
// binaries and a text file. Each is stored byte for byte under the name it always had, the
// catalogue lists it, the run counts every byte of every response, and no spool file is left in the
// run folder.
TEST(SpooledRun, BinariesOfEveryKindAreStoredWhole) {
    test::TempDir dir;
    TestHttpServer server;
    const std::string zip = Noise(1500000, 1);
    const std::string picture = Noise(1200000, 2);
    const std::string icon = Noise(900000, 3);
    const std::string top = Noise(1100000, 4);
    const std::string text = "notes\r\n" + std::string(700000, 'n');
    const std::string page = "<title>Files</title><a href=\"/files/data.zip\">data</a>"
                             "<a href=\"/notes\">notes</a>"
                             "<img src=\"/pics/photo.jpg\"><link rel=\"icon\" href=\"/i.ico\">";
    std::vector<TestResponse> served = {
        TestResponse::Html(page),
        TestResponse::Http(200, "application/zip", zip),
        TestResponse::Http(200, "image/jpeg", picture),
        TestResponse::Http(200, "image/x-icon", icon),
        TestResponse::Http(200, "image/png", top),
        TestResponse::Http(200, "text/plain", text),
    };
    server.Serve("/index.htm", served[0]);
    server.Serve("/files/data.zip", served[1]);
    server.Serve("/pics/photo.jpg", served[2]);
    server.Serve("/i.ico", served[3]);
    server.Serve("/top.png", served[4]);
    server.Serve("/notes", served[5]);

    test::BriefRun run(dir.Folder(), "Files");
    run.Settings.KeepPageResources = true;
    run.AddWeb(server.Url("/top.png"), 1);
    run.AddWeb(server.Url("/index.htm"), 2);
    ASSERT_TRUE(run.Run());

    // Every file of the folder is catalogued, and none is a spool file left over.
    const std::filesystem::path folder = dir.Path() / "0";
    std::optional<CatalogContents> catalog = ReadCatalog((folder / "Brief0.cat").string());
    ASSERT_TRUE(catalog.has_value());
    EXPECT_TRUE(catalog->Complete);
    std::map<std::string, std::string> stored;
    for (const std::string& name : Names(folder)) {
        if (name == "Brief0.cat") continue;
        EXPECT_EQ(std::count(catalog->FileNames.begin(), catalog->FileNames.end(), name), 1)
            << name;
        stored[test::ReadFileBytes(folder / name)] = name;
    }
    // Each body whole, under the name it has always had: the entry's picture and the linked
    // file under page names with their own extensions, the picture and the icon under theirs.
    const std::pair<const std::string*, std::string> expected[] = {{&top, "GA0.png"},
                                                                   {&zip, "GA3.zip"},
                                                                   {&picture, "GAI0.jpg"},
                                                                   {&icon, "GAI1.ico"},
                                                                   {&text, "GA4.txt"}};
    for (const auto& [body, name] : expected) {
        auto found = stored.find(*body);
        ASSERT_NE(found, stored.end()) << name << " not stored whole";
        EXPECT_EQ(found->second, name);
    }
    std::int64_t total = 0;
    for (const TestResponse& response : served)
        total += static_cast<std::int64_t>(response.Bytes.size()) + 1;
    EXPECT_EQ(run.Thread->Outcome().Bytes, total);
}

} // namespace
} // namespace gathra
