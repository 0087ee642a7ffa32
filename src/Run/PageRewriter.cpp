#include "Run/PageRewriter.h"

#include "Html/HtmlScanner.h"
#include "Html/LinkResolution.h"
#include "Html/TagPairs.h"
#include "Net/FetchAhead.h"
#include "Net/HttpClient.h"
#include "Run/FileNames.h"
#include "Run/NavigationBar.h"
#include "Run/Notices.h"
#include "Run/PageResources.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Settings/AppSettings.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/mman.h>
#include <system_error>
#include <unistd.h>

namespace gathra {

FileNameCounters& CountersOf(const TRunState& run) {
    return run.Counters != nullptr ? *run.Counters : ProgramFileNameCounters();
}

namespace {

std::string_view CutFragment(std::string_view address) {
    size_t hash = address.find('#');
    return hash == std::string_view::npos ? address : address.substr(0, hash);
}

// What a link's tag says about the link, for writing its new value.
enum class LinkFlag : unsigned {
    Frame = 1u << 0,       // the source of a frame or an inline frame
    InlineFrame = 1u << 1, // an inline frame: a frame source in any page
    Unsupported = 1u << 2, // a scheme the run does not fetch
    Mail = 1u << 3,        // a "mailto:" link
    LeavesFrame = 1u << 4, // target "_blank" or "_top"
    ImageMap = 1u << 5,    // an area of an image map: written as an absolute address
};

class LinkFlags {
public:
    LinkFlags& Set(LinkFlag flag, bool on = true) {
        if (on) bits_ |= static_cast<unsigned>(flag);
        return *this;
    }
    bool Has(LinkFlag flag) const { return (bits_ & static_cast<unsigned>(flag)) != 0; }

private:
    unsigned bits_ = 0;
};

// A link value's fragment: where a link to the page itself leads, and what a local name keeps.
struct LinkFragment {
    bool Present = false;
    std::string_view Name;     // without its "#"
    std::string_view FromHash; // the value's text from that "#" on
};

LinkFragment FragmentOf(std::string_view value) {
    LinkFragment fragment;
    size_t cut = value.find('?');
    std::string_view head = value.substr(0, cut);
    size_t hash = head.rfind('#');
    // "page.html?lang=fr#top": a fragment after the query is the link's fragment too.
    if (hash == std::string_view::npos && cut != std::string_view::npos) {
        hash = value.find('#', cut);
        head = value;
    }
    if (hash != std::string_view::npos) {
        fragment.Present = true;
        fragment.Name = head.substr(hash + 1);
        fragment.FromHash = value.substr(hash);
    }
    return fragment;
}

void WriteChunked(TOutputFile& out, std::string_view bytes) {
    while (!bytes.empty()) {
        size_t n = std::min(bytes.size(), kScanWindow);
        out.Write(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
}

// The extension of a link's target as the name of its local copy wants it: empty for an address
// with a query, else the text after the last "." of the last path segment, lowered.
std::string LinkExtension(std::string_view resolved) {
    // The fragment names a place in the page, not its type: "p.html#x" is an "html" page.
    resolved = CutFragment(resolved);
    size_t lastSlash = resolved.rfind('/');
    size_t lastQuestion = resolved.rfind('?');
    if (lastQuestion != std::string_view::npos) {
        // Any "?" in the last segment makes a query, even when an earlier one stands before it.
        if (lastSlash == std::string_view::npos || lastQuestion > lastSlash) return {};
        // A "?" before the last "/" still means a query when that "/" belongs to a "://" of a
        // scheme carried inside the query.
        size_t question = resolved.find('?');
        for (size_t s = lastSlash >= 2 ? lastSlash - 2 : 0; s <= lastSlash; ++s)
            if (s > question && resolved.substr(s, 3) == "://") return {};
    }
    size_t dot = resolved.rfind('.');
    size_t backslash = resolved.rfind('\\');
    if (dot == std::string_view::npos) return {};
    if (lastSlash != std::string_view::npos && dot < lastSlash) return {};
    if (backslash != std::string_view::npos && dot < backslash) return {};
    std::string ext(resolved.substr(dot + 1));
    for (char& c : ext)
        c = AsciiLower(c);
    return ext;
}

// IFrame and Resource only while the run keeps page resources.
enum class TagKind { None, Anchor, Image, Frame, Area, Embed, IFrame, Resource };

class Scanner {
public:
    explicit Scanner(TPageContext& ctx)
        : ctx_(ctx), run_(*ctx.Run), out_(*ctx.Out), page_(*ctx.Page),
          tags_(ctx.Marked != nullptr ? TagPairs::OfMarkedCopy(*ctx.Marked) : TagPairs(page_)),
          planning_(ctx.Plan != nullptr) {
        textEnd_ = page_.size();
        if (textEnd_ > 0 && page_[textEnd_ - 1] == '\0') --textEnd_;
    }

    void Run() {
        assert((ctx_.Marked == nullptr || ctx_.Marked->size() == page_.size()) &&
               "the marked copy belongs to another page");
        if (ctx_.Marked != nullptr && ctx_.Marked->size() != page_.size()) {
            Emit(page_.substr(0, textEnd_));
            return;
        }
        size_t searchStart = 0;
        for (;;) {
            if (!planning_) ReleaseBehind();
            if (run_.SkipOrAbort()) stopping_ = true;
            size_t start = kNone;
            size_t end = kNone;
            TagKind kind = TagKind::None;
            bool imageMap = false;
            for (size_t s = searchStart;;) {
                if (!tags_.Next(s, start, end)) {
                    start = kNone;
                    break;
                }
                kind = Classify(start, end, imageMap);
                if (kind != TagKind::None) break;
                s = end + 1;
            }
            if (!planning_) CheckDisk();
            if (start == kNone || end >= textEnd_) {
                Emit(page_.substr(copyPos_, textEnd_ - std::min(copyPos_, textEnd_)));
                copyPos_ = textEnd_;
                return;
            }
            Emit(page_.substr(copyPos_, start - copyPos_));
            std::string_view tag = page_.substr(start, end - start + 1);
            copyPos_ = end + 1;
            if (kind == TagKind::Image || kind == TagKind::Embed)
                ImageRule(tag);
            else if (kind == TagKind::Resource)
                ResourceRule(tag);
            else if (!planning_)
                LinkRule(tag, kind, imageMap);
            searchStart = copyPos_;
        }
    }

    bool Released() const { return released_ > 0; }

private:
    // Page text to the output; nothing while the page is only scanned for its fetches.
    void Emit(std::string_view bytes) {
        if (!planning_) WriteChunked(out_, bytes);
    }

    // The text of a page behind the scan is written out: when the caller has no further use for
    // it, the memory of a large one goes back to the system as the scan moves on.
    void ReleaseBehind() {
        constexpr size_t kStep = 1u << 20;
        if (!ctx_.UseUpPage || ctx_.Page == nullptr || page_.size() < kReleasedPageBytes ||
            copyPos_ < released_ + kStep || page_.data() != ctx_.Page->data())
            return;
        static const size_t pageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        const auto base = reinterpret_cast<std::uintptr_t>(ctx_.Page->data());
        // Whole pages of memory only, inside the text: the allocator's own bytes around it stay.
        const std::uintptr_t from = (base + released_ + pageSize - 1) / pageSize * pageSize;
        const std::uintptr_t to = (base + copyPos_) / pageSize * pageSize;
        if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        released_ = copyPos_;
    }

    void CheckDisk() {
        if (diskCounter_ > 50) {
            RequireFreeSpace(run_);
            diskCounter_ = 0;
        } else {
            ++diskCounter_;
        }
    }

    TagKind Classify(size_t start, size_t end, bool& imageMap) {
        size_t name = start + 1;
        if (MatchesName(page_, name, "noframe")) {
            Emit(page_.substr(copyPos_, end + 1 - copyPos_));
            if (!planning_)
                PrintBriefHeader(out_, run_, false, "", ctx_.SiteMapName, ctx_.SummaryName,
                                 run_.BriefName);
            copyPos_ = end + 1;
            inNoFrames_ = true;
            return TagKind::None;
        }
        if (MatchesName(page_, name, "/noframe")) {
            Emit(page_.substr(copyPos_, start - copyPos_));
            if (!planning_) PrintBriefFooter(out_, "", ctx_.SiteMapName, ctx_.SummaryName);
            copyPos_ = start;
            inNoFrames_ = false;
            return TagKind::None;
        }
        if (MatchesName(page_, name, "a ")) {
            imageMap = NextTagIsImageMap(end);
            return TagKind::Anchor;
        }
        if (MatchesName(page_, name, "img ") || MatchesName(page_, name, "image "))
            return TagKind::Image;
        if (MatchesName(page_, name, "frame ")) return TagKind::Frame;
        if (MatchesName(page_, name, "area ")) return TagKind::Area;
        if (MatchesName(page_, name, "embed ")) return TagKind::Embed;
        if (KeepsPageResources(ctx_)) {
            resourceTag_ = ClassifyResourceTag(page_.substr(start, end - start + 1));
            if (resourceTag_ == ResourceTag::IFrame) return TagKind::IFrame;
            if (resourceTag_ != ResourceTag::None) return TagKind::Resource;
        }
        return TagKind::None;
    }

    // An anchor around a server-side image map keeps its web address: the map's coordinates
    // mean nothing off-line.
    bool NextTagIsImageMap(size_t anchorEnd) {
        size_t start;
        size_t end;
        if (!tags_.Next(anchorEnd + 1, start, end)) return false;
        size_t after;
        if (MatchesName(page_, start + 1, "img "))
            after = start + 4;
        else if (MatchesName(page_, start + 1, "image "))
            after = start + 6;
        else
            return false;
        for (size_t at = after; at + 5 <= end;) {
            at = FindAttribute(page_, at, end, "ismap");
            if (at == kNone || at + 5 > end) return false;
            char next = page_[at + 5];
            if (IsWhite(next) || next == '>') return true;
            ++at;
        }
        return false;
    }

    void ImageRule(std::string_view tag) {
        size_t resume = 0;
        size_t search = 0;
        GtCache gt;
        for (;;) {
            size_t src = FindAttribute(tag, search, tag.size(), "src");
            size_t v = src == kNone ? kNone : ValueStart(tag, src, tag.size());
            size_t ve = v == kNone ? kNone : ValueEnd(tag, v, &gt);
            if (ve == kNone || stopping_) {
                Emit(tag.substr(resume));
                return;
            }
            size_t textStart = ValueTextStart(tag, v);
            if (size_t listEnd = SrcsetEnd(tag, src, textStart); listEnd != kNone) {
                Emit(tag.substr(resume, textStart - resume));
                Emit(RewriteSrcset(ctx_, tag.substr(textStart, listEnd - textStart),
                                   ResourceKind::Image));
                resume = search = listEnd;
                continue;
            }
            // Without page resources a srcset is a source as before: its first candidate, up to
            // the blank before its descriptor, is the picture.
            if (IsSrcset(tag, src)) ve = FirstWordEnd(tag, textStart, ve);
            Emit(tag.substr(resume, textStart - resume));
            std::string_view value = tag.substr(textStart, ve - textStart);
            bool stored = false;
            if ((ctx_.LoadImages || IsSearchSiteLink(ctx_.BaseAddress)) && planning_)
                PlanImage(value, ctx_);
            else if (ctx_.LoadImages || IsSearchSiteLink(ctx_.BaseAddress))
                stored = StoreImage(out_, value, ctx_);
            if (!stored) Emit(ctx_.LoadImages ? value : kNotLoadedImage);
            Emit(tag.substr(ve, 1));
            resume = search = ve + 1;
            // Each further source of the tag is a pass of the scan of its own: a stop asked for
            // meanwhile leaves the rest of the tag as it is and fetches nothing more.
            if (run_.SkipOrAbort()) stopping_ = true;
        }
    }

    // A page not stored yet may still change its name's extension (a notice where a file was
    // expected, text where a page was): its references are remembered to be patched then.
    void WritePageName(std::string_view name, bool notStoredYet) {
        if (notStoredYet) run_.NameFixups.Remember(out_, name);
        out_.Write(name);
    }

    // The "src" match at `src` begins the attribute "srcset".
    static bool IsSrcset(std::string_view tag, size_t src) {
        return src > 0 && IsWhite(tag[src - 1]) && MatchesName(tag, src + 3, "set");
    }

    // The first white space after the first word that starts at or after `from`, else `end`.
    static size_t FirstWordEnd(std::string_view tag, size_t from, size_t end) {
        size_t i = from;
        while (i < end && IsWhite(tag[i]))
            ++i;
        while (i < end && !IsWhite(tag[i]))
            ++i;
        return i;
    }

    // The end of the srcset value of an image tag whose "src" match at `src` begins the
    // attribute "srcset", when the run keeps page resources; else kNone (the ordinary rule).
    size_t SrcsetEnd(std::string_view tag, size_t src, size_t textStart) const {
        if (!KeepsPageResources(ctx_) || !IsSrcset(tag, src) || textStart >= tag.size())
            return kNone;
        char quote = tag[textStart - 1];
        size_t end = textStart;
        if (quote == '"' || quote == '\'') {
            end = tag.find(quote, textStart);
            if (end == std::string_view::npos) end = tag.size() - 1;
        } else {
            while (end + 1 < tag.size() && !IsWhite(tag[end]) && tag[end] != '>')
                ++end;
        }
        return end;
    }

    // Link, script, media and style tags and style attributes of a page that keeps its looks.
    void ResourceRule(std::string_view tag) {
        Emit(RewriteResourceTag(ctx_, tag, resourceTag_));
        if (resourceTag_ != ResourceTag::Style) return;
        size_t close = StyleBlockEnd(page_.substr(0, textEnd_), copyPos_);
        Emit(RewriteStyleBlock(ctx_, page_.substr(copyPos_, close - copyPos_)));
        copyPos_ = close;
    }

    bool Reusable(const PageRecord& record, bool notFollowed, bool leavesFrame,
                  bool iframe = false) const {
        if (record.FramePage == 0) {
            bool ok = !ctx_.IsFrameset || inNoFrames_ || leavesFrame;
            return notFollowed ? ok && !ctx_.InFrame : ok;
        }
        return (ctx_.IsFrameset || ctx_.InFrame || iframe) && !leavesFrame;
    }

    bool LeavesFrame(std::string_view tag) const {
        size_t target = FindAttribute(tag, 0, tag.size(), "target");
        if (target == kNone) return false;
        size_t i = target + 7;
        while (i < tag.size() && (tag[i] == '"' || tag[i] == '\'' || IsWhite(tag[i])))
            ++i;
        if (i >= tag.size() || tag[i] != '_') return false;
        return MatchesName(tag, i + 1, "blank") || MatchesName(tag, i + 1, "top");
    }

    void LinkRule(std::string_view tag, TagKind kind, bool imageMap) {
        LinkFlags flags;
        flags.Set(LinkFlag::InlineFrame, kind == TagKind::IFrame)
            .Set(LinkFlag::Frame, kind == TagKind::Frame || kind == TagKind::IFrame)
            .Set(LinkFlag::ImageMap, imageMap);
        const bool isFrame = flags.Has(LinkFlag::Frame);
        size_t attr = FindAttribute(tag, 0, tag.size(), isFrame ? "src" : "href");
        size_t v = attr == kNone ? kNone : ValueStart(tag, attr, tag.size());
        // A value that would begin at the closing ">" lies outside the tag.
        size_t ve = (v == kNone || v + 1 >= tag.size()) ? kNone : ValueEnd(tag, v);
        if (ve == kNone || !ctx_.IsContent || run_.PageTable == nullptr) {
            WriteChunked(out_, tag);
            return;
        }
        size_t textStart = ValueTextStart(tag, v);
        // White space at the ends of a quoted value is no part of the link; it is not written.
        std::string_view value = tag.substr(textStart, ve - textStart);
        while (!value.empty() && IsWhite(value.front()))
            value.remove_prefix(1);
        while (!value.empty() && IsWhite(value.back()))
            value.remove_suffix(1);

        if (!isFrame) {
            size_t colon = value.find(':');
            if (colon != std::string_view::npos &&
                value.substr(0, colon).find_first_of("/\\") == std::string_view::npos) {
                flags.Set(LinkFlag::Unsupported,
                          !(colon >= 4 && EqualsNoCase(value.substr(colon - 4, 4), "http")) &&
                              !IsSecureAddress(value));
                flags.Set(LinkFlag::Mail,
                          colon >= 6 && EqualsNoCase(value.substr(colon - 6, 6), "mailto"));
            }
            if (!flags.Has(LinkFlag::Unsupported) && !ctx_.LoadImages) {
                size_t dot = value.rfind('.');
                if (dot != std::string_view::npos &&
                    (MatchesName(value, dot + 1, "gif") || MatchesName(value, dot + 1, "jpg"))) {
                    WriteChunked(out_, tag);
                    return;
                }
            }
        }

        flags.Set(LinkFlag::LeavesFrame, LeavesFrame(tag));
        WriteChunked(out_, tag.substr(0, textStart));
        WriteNewValue(value, flags);
        WriteChunked(out_, tag.substr(ve));
    }

    // An inline frame is a frame source in any page: stored without a bar, reused as frames are.
    void WriteNewValue(std::string_view value, LinkFlags flags) {
        const bool isFrame = flags.Has(LinkFlag::Frame);
        const bool leaves = flags.Has(LinkFlag::LeavesFrame);
        std::string resolved = ResolveLink(ctx_.BaseAddress, value);
        if (flags.Has(LinkFlag::ImageMap) || stopping_) {
            size_t http = resolved.find("http://");
            size_t slash = resolved.find('/');
            if ((http == std::string::npos || slash < http) && !IsSecureAddress(resolved))
                resolved.insert(0, "http://");
            WriteChunked(out_, resolved);
            return;
        }
        // A local file named by a page from the network (itself or through the page's base) is
        // never read: it gets the notice of an unsupported link.
        if (!run_.LocalEntry && EqualsNoCase(std::string_view(resolved).substr(0, 5), "file:"))
            flags.Set(LinkFlag::Unsupported);
        const bool unsupported = flags.Has(LinkFlag::Unsupported);
        std::string_view address = CutFragment(resolved);
        PageRecord* known = isFrame ? nullptr : run_.PageTable->Find(address);

        const LinkFragment fragment = unsupported ? LinkFragment{} : FragmentOf(value);
        // Only the top page itself may point into itself with a bare fragment: on any other
        // page "#x" would name a place in that page.
        const std::string& self = ctx_.PageAddress.empty() ? ctx_.BaseAddress : ctx_.PageAddress;
        bool samePage = fragment.Present && EqualsNoCase(address, CutFragment(ctx_.EntryAddress)) &&
                        EqualsNoCase(address, CutFragment(self));
        bool depthExhausted = ctx_.RemainingDepth <= 1 && !samePage && !isFrame;

        if (depthExhausted || unsupported) {
            if (known != nullptr && Reusable(*known, true, leaves)) {
                WritePageName(known->LocalName(), known->Loaded == 0);
                if (fragment.Present) WriteChunked(out_, fragment.FromHash);
                return;
            }
            LinkNoticeKind kind = flags.Has(LinkFlag::Mail) ? LinkNoticeKind::MailLink
                                  : unsupported             ? LinkNoticeKind::UnsupportedProtocol
                                                            : LinkNoticeKind::SpiderLimit;
            NoticeBarNames bar{run_.BriefName, ctx_.EntryName, ctx_.SummaryName, ctx_.SiteMapName};
            WriteLinkNotice(run_, out_, ctx_.BaseAddress, value, kind, bar);
            return;
        }
        if (samePage) {
            WriteChunked(out_, fragment.FromHash);
            return;
        }
        WriteFollowedLink(value, address, known, fragment, flags);
    }

    // A link the spider follows: the local name of its page (a new one when the page is not
    // known yet) and its fragment; the page is queued for the next level.
    void WriteFollowedLink(std::string_view value, std::string_view address, PageRecord* known,
                           const LinkFragment& fragment, LinkFlags flags) {
        const bool leaves = flags.Has(LinkFlag::LeavesFrame);
        const bool iframe = flags.Has(LinkFlag::InlineFrame);
        const bool frameContext =
            (ctx_.IsFrameset || ctx_.InFrame || iframe) && !leaves && !inNoFrames_;
        std::string key;
        if (frameContext) {
            key.reserve(kFrameKeyPrefix.size() + address.size());
            key.append(kFrameKeyPrefix).append(address);
            known = run_.PageTable->Find(key);
        } else {
            key.assign(address);
        }
        if (known != nullptr && Reusable(*known, false, leaves, iframe)) {
            WritePageName(known->LocalName(), known->Loaded == 0);
        } else {
            std::string name = NewPageName(CountersOf(run_), run_.BriefFolder,
                                           LinkExtension(ResolveLink(ctx_.EntryAddress, value)));
            if (name != kNoFreeName) {
                WritePageName(name, true);
                TocNode* node = nullptr;
                if (run_.CurrentTocList != nullptr) {
                    run_.CurrentTocList->Append("");
                    node = run_.CurrentTocList->Last();
                    if (fragment.Present) node->SetAnchor("#" + std::string(fragment.Name));
                }
                run_.PageTable->Add(key, name, 0, OneLevelLess(ctx_.RemainingDepth), 0, node,
                                    frameContext ? 1 : 0);
            }
        }
        if (fragment.Present) {
            out_.Write("#");
            WriteChunked(out_, fragment.Name);
        }
        TLList* next = run_.LevelQueue[run_.LevelSelector == 1 ? 0 : 1].get();
        if (next != nullptr) next->Append(key, frameContext ? 1 : 0);
    }

    TPageContext& ctx_;
    TRunContext& run_;
    TOutputFile& out_;
    std::string_view page_;
    TagPairs tags_;
    const bool planning_; // only listing the page's fetches (ctx.Plan)
    size_t textEnd_ = 0;
    size_t copyPos_ = 0;
    bool inNoFrames_ = false;
    bool stopping_ = false;
    int diskCounter_ = 51;
    ResourceTag resourceTag_ = ResourceTag::None;
    size_t released_ = 0; // the page's memory before this offset went back to the system
};

} // namespace

void ExpectPageFetches(TPageContext& page) {
    TFetchPlan plan;
    struct Planning {
        TPageContext& Page;
        ~Planning() { Page.Plan = nullptr; }
    } planning{page};
    page.Plan = &plan;
    Scanner(page).Run();
    if (!plan.Fetches.empty()) page.Run->Ahead->ExpectFirst(plan.Fetches);
}

void PlanRewrite(TPageContext& page) {
    if (page.Plan != nullptr) Scanner(page).Run();
}

std::string EntryAddressOf(std::string_view address) {
    // A secure address keeps its scheme, as every link resolved on its page does.
    if (IsSecureAddress(address)) return std::string(address);
    size_t scheme = address.find("://");
    if (scheme != std::string_view::npos && address.find('/', scheme + 3) != std::string_view::npos)
        return std::string(address.substr(scheme + 3));
    return std::string(address);
}

void RewritePage(TPageContext& page) {
    TRunContext& run = *page.Run;
    // Inside a spidered entry the notices flow on (the entry waits for them); a page rewritten
    // by itself has all of its notice pages on disk before it is done, also when it fails.
    std::optional<TNoticeFlow> notices;
    if (!run.NoticesAcrossPages) notices.emplace(run, false);
    if (run.Ahead != nullptr && page.Plan == nullptr && !page.FetchesExpected)
        ExpectPageFetches(page);
    Scanner scanner(page);
    scanner.Run();
    // Parts of a large page's memory are gone: nobody may read the page any more.
    if (scanner.Released()) std::string().swap(*page.Page);
    if (notices) notices->Finish();
}

} // namespace gathra
