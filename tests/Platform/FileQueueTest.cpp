#include "Platform/FileQueue.h"
#include "Platform/OutputFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace gathra {
namespace {

// Each case runs with the queue's own writer thread and with the blocks written by the thread
// that hands them over (what a queue does when no thread can be started).
class FileQueueTest : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Writers, FileQueueTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Thread" : "Here"; });

std::string Content(int i) {
    // Sizes from empty to several blocks, so that files run across the blocks handed over.
    return std::string(static_cast<size_t>((i * 7919) % 70000), static_cast<char>('a' + i % 26));
}

// Many files of every size, more than the queue lets wait at once: each one arrives whole, in
// the folder given, and Drain returns only when all of them are there. Queued TOutputFiles
// count their bytes as plain ones do.
TEST_P(FileQueueTest, EveryFileArrivesWholeWhenDrained) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "other");
    TFileQueue queue(GetParam());
    const std::uint64_t before = TOutputFile::BytesWritten();
    std::uint64_t bytes = 0;
    const int count = 300;
    for (int i = 0; i < count; ++i) {
        TOutputFile file;
        const std::string folder = i % 10 == 0 ? (dir / "other").string() + "/" : dir.Folder();
        file.OpenQueued(folder + "f" + std::to_string(i) + ".htm", queue);
        const std::string text = Content(i);
        file << text.substr(0, text.size() / 3) << text.substr(text.size() / 3);
        file.Close();
        bytes += text.size() + 4096;
    }
    queue.Drain();
    EXPECT_EQ(TOutputFile::BytesWritten() - before, bytes);
    for (int i = 0; i < count; ++i) {
        const auto path =
            (i % 10 == 0 ? dir / "other" : dir.Path()) / ("f" + std::to_string(i) + ".htm");
        ASSERT_EQ(test::ReadFileBytes(path), Content(i)) << i;
    }
}

// A file that cannot be made stops the writing: its failure comes once (from Drain, or from a
// later Close), with the system's words, and nothing handed over after it is written. A
// second queued file opened while one is open is written at once instead.
TEST_P(FileQueueTest, TheFirstFailureIsThrownOnceAndStopsTheWriting) {
    test::TempDir dir;
    TFileQueue queue(GetParam());
    TOutputFile ok;
    ok.OpenQueued(dir.Folder() + "first.htm", queue);
    TOutputFile nested;
    nested.OpenQueued(dir.Folder() + "nested.htm", queue);
    nested << "now";
    nested.Close();
    EXPECT_EQ(test::ReadFileBytes(dir / "nested.htm"), "now");
    ok << "1";
    ok.Close();

    TOutputFile bad;
    bad.OpenQueued(dir.Folder() + "missing/x.htm", queue);
    bad << "lost";
    bad.Close();
    int failures = 0;
    std::string message;
    std::string cause;
    auto noting = [&](auto step) {
        try {
            step();
        } catch (const TDiskError& error) {
            ++failures;
            message = error.what();
            cause = error.Cause();
        }
    };
    for (int i = 0; i < 50; ++i) {
        TOutputFile later;
        later.OpenQueued(dir.Folder() + "later" + std::to_string(i) + ".htm", queue);
        later << std::string(40000, 'x');
        noting([&] { later.Close(); });
    }
    noting([&] { queue.Drain(); });
    EXPECT_EQ(failures, 1);
    EXPECT_NE(message.find("cannot create"), std::string::npos) << message;
    EXPECT_EQ(cause, "No such file or directory");
    EXPECT_NO_THROW(queue.Drain()); // reported once
    EXPECT_EQ(test::ReadFileBytes(dir / "first.htm"), "1");
    EXPECT_FALSE(std::filesystem::exists(dir / "later49.htm"));
}

// A queue that goes away writes what it still holds, and an unclosed queued file too.
TEST_P(FileQueueTest, WhatIsLeftIsWrittenWhenTheQueueGoesAway) {
    test::TempDir dir;
    {
        TFileQueue queue(GetParam());
        TOutputFile closed;
        closed.OpenQueued(dir.Folder() + "closed.htm", queue);
        closed << "done";
        closed.Close();
        TOutputFile open;
        open.OpenQueued(dir.Folder() + "open.htm", queue);
        open << "part";
        // `open` goes first (declared last), handing its bytes over as a destroyed file does
    }
    EXPECT_EQ(test::ReadFileBytes(dir / "closed.htm"), "done");
    EXPECT_EQ(test::ReadFileBytes(dir / "open.htm"), "part");
}

} // namespace
} // namespace gathra
