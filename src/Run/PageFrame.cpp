#include "Run/PageFrame.h"

#include "Html/HtmlScanner.h"
#include "Run/FileNames.h"
#include "Run/NavigationBar.h"
#include "Run/PageResources.h"
#include "Run/PageRewriter.h"
#include "Run/RunContext.h"

#include <algorithm>

namespace gathra {

namespace {

void Blank(std::string& page, size_t from, size_t end) {
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(from),
              page.begin() + static_cast<std::ptrdiff_t>(end), ' ');
}

// The output file, or nowhere while the page is only scanned for its fetches (ctx.Plan).
void Put(TPageContext& ctx, std::string_view bytes) {
    if (ctx.Plan == nullptr) ctx.Out->Write(bytes);
}

void WriteHeaderFrame(TPageContext& ctx, const TBarLinks& bar) {
    TRunContext& run = *ctx.Run;
    std::string name = NewPageName(CountersOf(run), run.BriefFolder, "htm");
    if (name == kNoFreeName || !CatalogName(run.Catalog, name)) return;
    TOutputFile header(InFolder(run.BriefFolder, name));
    ctx.Out->Write("<frameset rows=\"36,*\">");
    PrintBriefHeader(header, run, true, bar.WebAddressLink, bar.SiteMapLink, bar.BriefLink,
                     run.BriefName);
    header.Close();
    *ctx.Out << "<frame src=\"" << name
             << "\" marginwidth=\"1\" marginheight=\"1\" scrolling=\"no\" resize>";
}

void MoveBodyTags(TPageContext& ctx) {
    std::string& page = *ctx.Page;
    size_t at = FindTag(page, "body", 0);
    while (at != kNone) {
        std::string_view window = std::string_view(page).substr(at, kScanWindow);
        size_t gt = window.find('>');
        if (gt == kNone) return;
        std::string_view tag = window.substr(0, gt + 1);
        size_t attr = FindAttribute(tag, 0, gt, "background");
        size_t v = attr == kNone ? kNone : ValueStart(tag, attr, gt);
        if (v != kNone) {
            size_t textStart = ValueTextStart(tag, v);
            size_t end = ValueEnd(tag, v);
            if (end == kNone || end < textStart) end = gt;
            Put(ctx, tag.substr(0, textStart));
            if (ctx.LoadImages && ctx.Plan != nullptr)
                PlanImage(tag.substr(textStart, end - textStart), ctx);
            else if (ctx.LoadImages)
                StoreImage(*ctx.Out, tag.substr(textStart, end - textStart), ctx);
            else
                Put(ctx, kNotLoadedImage);
            Put(ctx, tag.substr(end));
        } else if (KeepsPageResources(ctx) && ClassifyResourceTag(tag) == ResourceTag::Styled) {
            // A body styled with a picture keeps it.
            Put(ctx, RewriteResourceTag(ctx, tag, ResourceTag::Styled));
        } else {
            Put(ctx, tag);
        }
        Blank(page, at, at + gt + 1);
        at = FindTag(page, "body", at + gt);
    }
}

void MoveScripts(TPageContext& ctx) {
    std::string& page = *ctx.Page;
    // Each end tag is looked for once from any point: a page of many scripts without end tags
    // must not be searched to its end once per script.
    TagFinder scriptEnd("/script");
    TagFinder headEnd("/head");
    TagFinder bodyTag("body");
    size_t at = FindTag(page, "script", 0);
    while (at != kNone) {
        size_t end = scriptEnd.Next(page, at + 1);
        if (end == kNone) end = headEnd.Next(page, at + 1);
        if (end == kNone) end = bodyTag.Next(page, at + 1);
        if (end == kNone) return;
        size_t gt = std::string_view(page).substr(end, kScanWindow).find('>');
        if (gt == kNone) {
            at = FindTag(page, "script", end);
            continue;
        }
        size_t blockEnd = end + gt + 1;
        size_t pos = at;
        if (KeepsPageResources(ctx)) {
            // The script tag's own source is a page resource.
            size_t tagEnd = std::string_view(page).substr(at, blockEnd - at).find('>');
            std::string_view tag = std::string_view(page).substr(at, tagEnd + 1);
            Put(ctx, RewriteResourceTag(ctx, tag, ResourceTag::Script));
            Blank(page, at, at + tagEnd + 1);
            pos = at + tagEnd + 1;
        }
        for (; pos < blockEnd; pos += kScanWindow) {
            size_t n = std::min(kScanWindow, blockEnd - pos);
            Put(ctx, std::string_view(page).substr(pos, n));
            Blank(page, pos, pos + n);
        }
        at = FindTag(page, "script", blockEnd);
    }
}

} // namespace

bool WrapPage(TPageContext& ctx, const TBarLinks& bar) {
    std::string& page = *ctx.Page;
    size_t frameset = FindTag(page, "frameset", 0);
    if (frameset != kNone) {
        if (!ctx.InFrame && ctx.Plan == nullptr) WriteHeaderFrame(ctx, bar);
        size_t gt = std::string_view(page).substr(frameset, kScanWindow).find('>');
        if (gt != kNone) {
            Put(ctx, std::string_view(page).substr(frameset, gt + 1));
            Blank(page, frameset, frameset + gt + 1);
        }
    } else {
        MoveBodyTags(ctx);
    }
    MoveScripts(ctx);
    return frameset != kNone;
}

void WritePageClosing(TOutputFile& out, bool isFrameset, bool lineBreak) {
    out.Write(isFrameset ? "</frameset></html>" : "</body></html>");
    if (lineBreak) out.Write("\r\n");
}

} // namespace gathra
