#include "Net/ResponseReader.h"

#include <gtest/gtest.h>

#include <string>

namespace gathra {
namespace {

using Step = TResponseReader::Step;

TResponseReader::Limits SmallLimits() {
    TResponseReader::Limits limits;
    limits.MaxResponseBytes = 1000;
    limits.MaxPageBytes = 200;
    limits.HeaderTimeMs = 60000;
    limits.RateStretchMs = 30000;
    limits.MinStretchBytes = 100;
    return limits;
}

const std::string kHtmlHeader = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
const std::string kGifHeader = "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n";

// Feeds `bytes` in blocks of `block` bytes, `stepMs` apart; the last step taken.
Step FeedAll(TResponseReader& reader, const std::string& bytes, size_t block, std::int64_t stepMs,
             const std::string& atOnce = {}) {
    std::int64_t now = 0;
    Step step = atOnce.empty() ? Step::More : reader.Feed(atOnce, 0);
    for (size_t at = 0; at < bytes.size() && step == Step::More; at += block, now += stepMs)
        step = reader.Feed(std::string_view(bytes).substr(at, block), now);
    return step;
}

TEST(ResponseReader, EndsTransfersThatWouldNotEndByThemselves) {
    struct Case {
        const char* What;
        std::string Bytes;
        size_t Block;
        std::int64_t StepMs;
        bool LoadImages;
        Step Expected;
        bool HeaderAtOnce = false; // the header comes in one block at once, then the rest
    } cases[] = {
        {"a page at full speed", kHtmlHeader + std::string(150, 'p'), 7, 1, false, Step::More},
        {"a page of exactly the cap", kHtmlHeader + std::string(200 - kHtmlHeader.size(), 'p'),
         1000, 0, false, Step::More},
        {"a header trickled past its minute", kHtmlHeader, 1, 2000, false, Step::TimedOut},
        {"header lines that never end", "HTTP/1.0 200 OK\r\n" + std::string(300, 'h'), 10, 0, false,
         Step::Refused},
        {"a body of one byte every two seconds", std::string(40, 'b'), 1, 2000, false,
         Step::TooSlow, true},
        {"a slow but steady body", std::string(150, 'b'), 10, 2000, false, Step::More, true},
        {"a picture not asked for", kGifHeader + "GIF89a", 1000, 0, false, Step::Refused},
        {"a picture over the response bound", kGifHeader + std::string(1000, 'g'), 100, 0, true,
         Step::Refused},
        {"a picture over the page cap but within the bound", kGifHeader + std::string(900, 'g'),
         100, 0, true, Step::More},
        {"a page over its cap", kHtmlHeader + std::string(900, 'p'), 100, 0, false, Step::Complete},
    };
    for (const Case& c : cases) {
        TResponseBuffer buffer;
        TResponseReader reader(buffer, c.LoadImages, false, false, SmallLimits(), 0);
        const std::string header = c.HeaderAtOnce ? kHtmlHeader : std::string();
        EXPECT_EQ(FeedAll(reader, c.Bytes, c.Block, c.StepMs, header), c.Expected) << c.What;
        if (c.Expected == Step::More) {
            EXPECT_EQ(buffer.Bytes(), header + c.Bytes) << c.What;
        }
        EXPECT_LE(buffer.Size(), SmallLimits().MaxResponseBytes) << c.What;
    }
}

TEST(ResponseReader, APageOverItsCapIsCutWithANoticeAndSaysWhatItHolds) {
    TResponseBuffer buffer;
    TResponseReader reader(buffer, false, false, false, SmallLimits(), 0);
    const std::string page = kHtmlHeader + std::string(500, 'p');
    EXPECT_EQ(FeedAll(reader, page, 64, 0), Step::Complete);
    EXPECT_TRUE(reader.WasCut());
    EXPECT_FALSE(reader.IsBinary());
    EXPECT_EQ(buffer.Bytes(), page.substr(0, 200) + std::string(kPageCutNotice));
}

TEST(ResponseReader, HeaderFieldsAreReadAcrossBlocks) {
    TResponseBuffer buffer;
    TResponseReader reader(buffer, true, false, false, SmallLimits(), 0);
    const std::string bytes = "HTTP/1.0 200 OK\r\nContent-Length: 42\r\nContent-Type: image/"
                              "jpeg\r\n\r\nJFIF";
    EXPECT_EQ(FeedAll(reader, bytes, 3, 0), Step::More);
    EXPECT_TRUE(reader.HeaderDone());
    EXPECT_TRUE(reader.IsBinary());
    EXPECT_EQ(reader.AnnouncedLength(), 42);
}

// Keeps what it is given, up to its room.
class MemorySink : public TBodySink {
public:
    explicit MemorySink(size_t room = static_cast<size_t>(-1)) : room_(room) {}
    bool Write(std::string_view bytes) override {
        if (bytes.size() > room_) return false;
        room_ -= bytes.size();
        Body.append(bytes);
        return true;
    }
    std::string Body;

private:
    size_t room_;
};

// Only the body of a file (a document that is not a page) goes to the sink; every other response
// is read from memory as a whole, as the client reads its status, location and notices.
TEST(ResponseReader, OnlyTheBodyOfAFileGoesToTheSink) {
    const std::string zipBody = std::string("PK\0\3\r\n\r\n", 8) + std::string(1500, 'z');
    struct Case {
        const char* What;
        std::string Header;
        std::string Body;
        bool CarriedBinary; // a redirect before said binary
        bool Spooled;
        Step Expected = Step::More;
        size_t SinkRoom = static_cast<size_t>(-1);
        std::int64_t StepMs = 0;
        size_t SpoolAfter = 0;
    } cases[] = {
        {"a picture", kGifHeader, "GIF89a" + std::string(50, '\0'), false, true},
        {"a file past the memory bound", "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\n\r\n",
         zipBody, false, true},
        {"status 203", "HTTP/1.1 203 Non-Authoritative\r\nContent-Type: image/png\r\n\r\n",
         "\x89PNG", false, true},
        {"an HTML document after a binary redirect", kHtmlHeader, "<p>x</p>", true, true},
        {"plain text past the page cap, not cut",
         "HTTP/1.0 200 OK\r\nContent-Type: Text/Plain; charset=utf-8\r\n\r\n",
         std::string(700, 't'), false, true},
        {"a page", kHtmlHeader, "<p>x</p>", false, false},
        {"a missing picture", "HTTP/1.0 404 Not Found\r\nContent-Type: image/gif\r\n\r\n", "GIF",
         false, false},
        {"a redirect", "HTTP/1.0 302 Found\r\nContent-Type: image/gif\r\n\r\n", "Location: /x",
         false, false},
        {"a status whose digits follow the header", "HTTP/1.0\r\nContent-Type: image/gif\r\n\r\n",
         "200 OK", false, false},
        {"no status line", "Content-Type: image/gif\r\n\r\n", "HTTP/1.0 200 OK", false, false},
        {"a sink that fills up", kGifHeader, std::string(600, 'g'), false, true, Step::Unstored,
         500},
        {"a spooled body below the minimum rate", kGifHeader, std::string(400, 'g'), false, true,
         Step::TooSlow, static_cast<size_t>(-1), 4000},
        {"a small file, held", kGifHeader, std::string(100, 'g'), false, false, Step::More,
         static_cast<size_t>(-1), 0, 100},
        {"a file just past the size to hold", kGifHeader, std::string(101, 'g'), false, true,
         Step::More, static_cast<size_t>(-1), 0, 100},
        {"held text past the page cap, not cut",
         "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n", std::string(700, 't'), false, false,
         Step::More, static_cast<size_t>(-1), 0, 800},
    };
    for (const Case& c : cases) {
        TResponseBuffer buffer;
        MemorySink sink(c.SinkRoom);
        TResponseReader::Limits limits = SmallLimits();
        limits.SpoolAfterBytes = c.SpoolAfter;
        TResponseReader reader(buffer, true, true, c.CarriedBinary, limits, 0, &sink);
        EXPECT_EQ(FeedAll(reader, c.Body, 10, c.StepMs, c.Header), c.Expected) << c.What;
        EXPECT_EQ(reader.Spooling(), c.Spooled) << c.What;
        if (c.Expected != Step::More) continue;
        EXPECT_EQ(reader.Received(), c.Header.size() + c.Body.size()) << c.What;
        if (c.Spooled) {
            EXPECT_EQ(buffer.Bytes(), c.Header) << c.What;
            EXPECT_EQ(sink.Body, c.Body) << c.What;
        } else {
            EXPECT_EQ(buffer.Bytes(), c.Header + c.Body) << c.What;
            EXPECT_TRUE(sink.Body.empty()) << c.What;
        }
    }
    // Without a sink a body past the memory bound is refused, as before.
    TResponseBuffer buffer;
    TResponseReader reader(buffer, true, true, false, SmallLimits(), 0);
    EXPECT_EQ(FeedAll(reader, zipBody, 10, 0, kGifHeader), Step::Refused);
}

} // namespace
} // namespace gathra
