#include "Net/BodyDecoder.h"
#include "support/Compression.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace gathra {
namespace {

using test::Compress;
using test::Packing;

// Ways to cut an input into the pieces it arrives in: whole, in two at every offset, byte by
// byte, and in random pieces of 1 to 17 bytes (fixed seeds).
std::vector<std::vector<size_t>> Cuttings(size_t size) {
    std::vector<std::vector<size_t>> cuttings{{size}};
    for (size_t at = 1; at < size; ++at)
        cuttings.push_back({at, size - at});
    cuttings.emplace_back(size, 1);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        std::vector<size_t> pieces;
        for (size_t left = size; left > 0;) {
            const size_t piece = std::min<size_t>(left, 1 + random() % 17);
            pieces.push_back(piece);
            left -= piece;
        }
        cuttings.push_back(pieces);
    }
    return cuttings;
}

// Feeds input to decoder in the given pieces (each one fed even after the decoder has finished,
// as a connection would deliver them), then ends the input; the bytes given out.
template <class Decoder>
std::string FeedPieces(Decoder& decoder, std::string_view input, const std::vector<size_t>& pieces,
                       bool finish = true) {
    std::string out;
    for (size_t at = 0, i = 0; i < pieces.size(); at += pieces[i++])
        decoder.Feed(input.substr(at, pieces[i]), out);
    if (finish) decoder.Finish();
    return out;
}

std::string Describe(const std::vector<size_t>& pieces) {
    std::string text = "pieces";
    for (size_t piece : pieces)
        text += " " + std::to_string(piece);
    return text;
}

using Chunked = TChunkedDecoder;

TEST(ChunkedDecoder, GivesTheSameBodyEndAndFaultHoweverTheBytesArrive) {
    struct Case {
        const char* What;
        std::string Input;
        Chunked::State State; // before Finish for a complete message, after it otherwise
        Chunked::Fault Fault;
        std::string Body;
        std::uint64_t Surplus;
    };
    using S = Chunked::State;
    using F = Chunked::Fault;
    const std::string longExtension = "5;" + std::string(Chunked::MaxLineBytes, 'e') + "\r\n";
    std::string longTrailer = "0\r\n";
    for (int i = 0; i < 20; ++i)
        longTrailer += "X-Field: " + std::string(1000, 'v') + "\r\n";
    const Case cases[] = {
        {"one chunk", "5\r\nhello\r\n0\r\n\r\n", S::Complete, F::None, "hello", 0},
        {"chunks, hex in both cases", "A\r\n0123456789\r\nb\r\nabcdefghijk\r\n0\r\n\r\n",
         S::Complete, F::None, "0123456789abcdefghijk", 0},
        {"extensions", "5;name=value\r\nhello\r\n6 ; q=\"a;b\"\r\n world\r\n0;last\r\n\r\n",
         S::Complete, F::None, "hello world", 0},
        {"trailer fields", "5\r\nhello\r\n0\r\nExpires: never\r\nX-Sum: 12\r\n\r\n", S::Complete,
         F::None, "hello", 0},
        {"bare LF line ends", "5\nhello\n0\nX: y\n\n", S::Complete, F::None, "hello", 0},
        {"leading zeros", "0005\r\nhello\r\n000\r\n\r\n", S::Complete, F::None, "hello", 0},
        {"CR LF inside the data", "4\r\n\r\n\r\n\r\n0\r\n\r\n", S::Complete, F::None, "\r\n\r\n",
         0},
        {"no body at all", "0\r\n\r\n", S::Complete, F::None, "", 0},
        {"the next response follows", "3\r\nabc\r\n0\r\n\r\nHTTP/1.1 200 OK\r\n", S::Complete,
         F::None, "abc", 17},
        {"not a hex digit", "x\r\nhello\r\n0\r\n\r\n", S::Failed, F::BadSize, "", 0},
        {"empty size line", "\r\nhello\r\n", S::Failed, F::BadSize, "", 0},
        {"blank before the size", " 5\r\nhello\r\n", S::Failed, F::BadSize, "", 0},
        {"signed size", "-5\r\nhello\r\n", S::Failed, F::BadSize, "", 0},
        {"0x prefix", "0x5\r\nhello\r\n", S::Failed, F::BadSize, "", 0},
        {"junk after the size", "5 x\r\nhello\r\n", S::Failed, F::BadSize, "", 0},
        {"size that would wrap", "1" + std::string(16, '0') + "\r\nhello", S::Failed, F::BadSize,
         "", 0},
        {"bad size after a good chunk", "3\r\nabc\r\nzz\r\n", S::Failed, F::BadSize, "abc", 0},
        {"over-long size line", longExtension + "hello\r\n0\r\n\r\n", S::Failed, F::LongLine, "",
         0},
        {"over-long trailer", longTrailer + "\r\n", S::Failed, F::LongTrailer, "", 0},
        {"data longer than its size", "5\r\nhelloX\r\n0\r\n\r\n", S::Failed, F::BadChunkEnd,
         "hello", 0},
        {"two CRs after the data", "5\r\nhello\r\r\n0\r\n\r\n", S::Failed, F::BadChunkEnd, "hello",
         0},
        {"cut in the data", "5\r\nhel", S::Failed, F::CutShort, "hel", 0},
        {"cut in the size line", "5\r\nhello\r\n1", S::Failed, F::CutShort, "hello", 0},
        {"cut before the last chunk", "5\r\nhello\r\n", S::Failed, F::CutShort, "hello", 0},
        {"cut before the final line end", "5\r\nhello\r\n0\r\n", S::Failed, F::CutShort, "hello",
         0},
        {"cut in a trailer", "5\r\nhello\r\n0\r\nX: y", S::Failed, F::CutShort, "hello", 0},
        {"nothing at all", "", S::Failed, F::CutShort, "", 0},
    };
    for (const Case& c : cases) {
        for (const std::vector<size_t>& pieces : Cuttings(c.Input.size())) {
            SCOPED_TRACE(std::string(c.What) + ", " + Describe(pieces));
            Chunked decoder;
            const bool complete = c.State == S::Complete;
            const std::string body = FeedPieces(decoder, c.Input, pieces, !complete);
            EXPECT_EQ(decoder.Current(), c.State);
            EXPECT_EQ(decoder.Error(), c.Fault);
            EXPECT_EQ(body, c.Body);
            EXPECT_EQ(decoder.BodyBytes(), c.Body.size());
            EXPECT_EQ(decoder.Surplus(), c.Surplus);
            // The end is known without the connection closing, and closing changes nothing.
            if (complete) {
                EXPECT_EQ(decoder.Finish(), S::Complete);
            }
        }
    }
}

TEST(ChunkedDecoder, TakesNothingOnceFailedAndCountsWhatFollowsTheEnd) {
    Chunked failed;
    std::string out;
    EXPECT_EQ(failed.Feed("5\r\nhello\r\nQ\r\n", out), Chunked::State::Failed);
    EXPECT_EQ(failed.Feed("5\r\nworld\r\n0\r\n\r\n", out), Chunked::State::Failed);
    EXPECT_EQ(out, "hello");
    EXPECT_EQ(failed.Surplus(), 0u);

    Chunked complete;
    EXPECT_EQ(complete.Feed("2\r\nok\r\n0\r\n\r\nHT", out), Chunked::State::Complete);
    EXPECT_EQ(complete.Feed("TP/1.1", out), Chunked::State::Complete);
    EXPECT_EQ(out, "hellook");
    EXPECT_EQ(complete.Surplus(), 8u);
}

using Content = TContentDecoder;

TEST(ContentDecoder, NamesTheCodingsItCanUndo) {
    const std::pair<const char*, Content::Coding> cases[] = {
        {"gzip", Content::Coding::Gzip},          {" GZip\t", Content::Coding::Gzip},
        {"x-gzip", Content::Coding::Gzip},        {"deflate", Content::Coding::Deflate},
        {"DEFLATE ", Content::Coding::Deflate},   {"identity", Content::Coding::Identity},
        {"", Content::Coding::Identity},          {"  ", Content::Coding::Identity},
        {"br", Content::Coding::Unknown},         {"compress", Content::Coding::Unknown},
        {"gzip, gzip", Content::Coding::Unknown}, {"gzipx", Content::Coding::Unknown},
        {"deflat", Content::Coding::Unknown},
    };
    for (const auto& [value, coding] : cases)
        EXPECT_EQ(Content::CodingOf(value), coding) << value;
}

// A page of text that compresses well but not to nothing.
std::string SamplePage() {
    std::string page = "<html><body>";
    for (int i = 0; i < 60; ++i)
        page += "<p>Paragraph " + std::to_string(i * 7919 % 1000) + " of the sample page.</p>\n";
    return page + "</body></html>";
}

TEST(ContentDecoder, DecodesGoodAndRefusesBadBodiesHoweverTheBytesArrive) {
    const std::string page = SamplePage();
    const std::string zeros(200000, '\0');
    const std::string gzip = Compress(page, Packing::Gzip);
    std::string corrupt = gzip;
    corrupt[corrupt.size() / 2] ^= 0x55;
    std::string badSum = gzip;
    badSum[badSum.size() - 6] ^= 1; // the CRC of the decoded bytes
    struct Case {
        const char* What;
        Content::Coding Coding;
        std::string Input;
        std::uint64_t Limit;
        Content::State State;
        std::optional<std::string> Output; // none: what a corrupt stream gives out is unknown
        std::uint64_t Surplus;
    };
    using C = Content::Coding;
    using S = Content::State;
    const Case cases[] = {
        {"gzip", C::Gzip, gzip, 1 << 20, S::Complete, page, 0},
        {"deflate in a zlib wrapping", C::Deflate, Compress(page, Packing::Zlib), 1 << 20,
         S::Complete, page, 0},
        {"raw deflate", C::Deflate, Compress(page, Packing::RawDeflate), 1 << 20, S::Complete, page,
         0},
        {"gzip of nothing", C::Gzip, Compress("", Packing::Gzip), 100, S::Complete, "", 0},
        {"a body of no bytes", C::Gzip, "", 100, S::Complete, "", 0},
        {"exactly the limit", C::Gzip, gzip, page.size(), S::Complete, page, 0},
        {"one byte past the limit", C::Gzip, gzip, page.size() - 1, S::TooLarge,
         page.substr(0, page.size() - 1), 0},
        {"a bomb", C::Gzip, Compress(zeros, Packing::Gzip), 3000, S::TooLarge,
         zeros.substr(0, 3000), 0},
        {"a raw deflate bomb", C::Deflate, Compress(zeros, Packing::RawDeflate), 3000, S::TooLarge,
         zeros.substr(0, 3000), 0},
        {"bytes after the stream", C::Gzip, gzip + "junk", 1 << 20, S::Complete, page, 4},
        {"not gzip at all", C::Gzip, "<html>plain</html>", 1 << 20, S::Failed, "", 0},
        {"corrupt gzip", C::Gzip, corrupt, 1 << 20, S::Failed, {}, 0},
        {"gzip with a wrong check sum", C::Gzip, badSum, 1 << 20, S::Failed, page, 0},
        {"identity", C::Identity, page, 1 << 20, S::Complete, page, 0},
        {"identity past the limit", C::Identity, page, 10, S::TooLarge, page.substr(0, 10),
         page.size() - 10},
    };
    for (const Case& c : cases) {
        for (const std::vector<size_t>& pieces : Cuttings(c.Input.size())) {
            SCOPED_TRACE(std::string(c.What) + ", " + Describe(pieces));
            Content decoder(c.Coding, c.Limit);
            const std::string out = FeedPieces(decoder, c.Input, pieces);
            EXPECT_EQ(decoder.Current(), c.State);
            EXPECT_EQ(decoder.Decoded(), out.size());
            // A failing stream may give out some of its bytes before zlib sees the fault.
            if (c.Output && c.State == S::Failed) {
                EXPECT_EQ(out, c.Output->substr(0, out.size()));
            } else if (c.Output) {
                EXPECT_EQ(out, *c.Output);
            }
            if (c.State != S::TooLarge && c.State != S::Failed) {
                EXPECT_EQ(decoder.Surplus(), c.Surplus);
            }
        }
    }
}

TEST(ContentDecoder, EveryCutShortStreamFails) {
    const std::string page = SamplePage();
    for (Packing packing : {Packing::Gzip, Packing::Zlib, Packing::RawDeflate}) {
        const std::string packed = Compress(page, packing);
        const auto coding =
            packing == Packing::Gzip ? Content::Coding::Gzip : Content::Coding::Deflate;
        for (size_t size = 1; size < packed.size(); ++size) {
            SCOPED_TRACE(std::to_string(static_cast<int>(packing)) + " cut at " +
                         std::to_string(size));
            Content decoder(coding, 1 << 20);
            std::string out;
            EXPECT_EQ(decoder.Feed(std::string_view(packed).substr(0, size), out),
                      Content::State::More);
            EXPECT_EQ(decoder.Finish(), Content::State::Failed);
            EXPECT_EQ(out, page.substr(0, out.size()));
        }
    }
}

TEST(ContentDecoder, StopsABombAtTheLimitWithoutDecodingTheRest) {
    const std::string packed = Compress(std::string(32 << 20, 'a'), Packing::Gzip);
    ASSERT_LT(packed.size(), 100000u);
    for (size_t piece : {packed.size(), size_t{4096}}) {
        Content decoder(Content::Coding::Gzip, 1 << 20);
        const std::string out =
            FeedPieces(decoder, packed, std::vector<size_t>(packed.size() / piece, piece));
        EXPECT_EQ(decoder.Current(), Content::State::TooLarge);
        EXPECT_EQ(out, std::string(1 << 20, 'a'));
        // Most of the input is never run through zlib.
        EXPECT_GT(decoder.Surplus(), packed.size() / 2);
    }
}

TEST(BodyDecoders, AGzipBodyInChunksComesOutWhole) {
    const std::string page = SamplePage();
    const std::string packed = Compress(page, Packing::Gzip);
    std::string framed;
    std::mt19937 random(7);
    for (size_t at = 0; at < packed.size();) {
        const size_t size = std::min<size_t>(packed.size() - at, 1 + random() % 300);
        char line[32];
        std::snprintf(line, sizeof line, "%zx;n=%zu\r\n", size, at);
        framed += line + packed.substr(at, size) + "\r\n";
        at += size;
    }
    framed += "0\r\nX-Trailer: yes\r\n\r\n";
    for (const std::vector<size_t>& pieces : Cuttings(framed.size())) {
        SCOPED_TRACE(Describe(pieces));
        Chunked chunked;
        Content content(Content::Coding::Gzip, 1 << 20);
        std::string out;
        for (size_t at = 0, i = 0; i < pieces.size(); at += pieces[i++]) {
            std::string body;
            chunked.Feed(std::string_view(framed).substr(at, pieces[i]), body);
            content.Feed(body, out);
        }
        EXPECT_EQ(chunked.Current(), Chunked::State::Complete);
        EXPECT_EQ(content.Finish(), Content::State::Complete);
        EXPECT_EQ(out, page);
    }
}

} // namespace
} // namespace gathra
