#!/usr/bin/env python3
"""Writes static sites for the crawl benchmarks and prints how many pages it wrote.

  make-site.py ROOT            plain: an index page, SECTIONS section pages and
                               PAGES_PER_SECTION article pages under each (a depth-3 entry on
                               index.htm stores every page once)
  make-site.py --rich ROOT [SECTIONS]  about 2,000 pages with what real sites carry: a frameset whose
                               navigation frame leads into every section (frame copies are
                               fetched again), images, links with queries, mail and other
                               protocols, fragments, links to missing pages, and a trap of folders
                               nested ever deeper; 24 sections by default, 240 make about 20,000
  make-site.py --styled ROOT   the --rich site with what pages of today also carry: two
                               stylesheets (one naming a picture and a font), a script and a
                               picture with a srcset on every page
  make-site.py --big ROOT [N]  one page of N links (default 200,000), about 100 bytes a link
"""
import os
import sys

SECTIONS = 45
PAGES_PER_SECTION = 44
FILLER = ("The river rose again this week, and the bakery kept its doors open while the "
          "council argued about the footbridge. ") * 12
# A one-pixel GIF: images are stored as they come, their content does not matter.
GIF = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001"
                    "000002024401003b")


# Set by --styled: every page names two stylesheets, a script and a srcset.
STYLED = False
STYLE_HEAD = ('<link rel="stylesheet" href="/css/theme.css" type="text/css">\n'
              '<link rel="stylesheet" href="/css/extra.css">\n'
              '<script src="/js/site.js"></script>\n')
STYLE_BODY = '<img src="/css/p01.gif" srcset="/css/p01.gif 1x, /css/p02.gif 2x" alt="logo">\n'


def page(title, links, body=FILLER, extra=""):
    items = "".join('<li><a href="%s">%s</a></li>\n' % (href, text) for href, text in links)
    head = STYLE_HEAD if STYLED else ""
    if STYLED:
        extra = STYLE_BODY + extra
    return ("<html><head><title>%s</title>%s</head><body>\n<h1>%s</h1>\n%s<p>%s</p>\n<ul>\n%s</ul>\n"
            "</body></html>\n" % (title, head, title, extra, body, items))


def style_files(root):
    # Named from the server's root, as generators do: the benchmark serves css/ and js/ there.
    for i in (1, 2, 3):
        write(root, "css/p%02d.gif" % i, GIF)
    write(root, "css/theme.css", "body { font-family: Serif; background: url(p03.gif); }\n"
                                 "@font-face { font-family: Serif; src: url(serif.woff2); }\n")
    write(root, "css/serif.woff2", b"wOF2" + bytes(60))
    write(root, "css/extra.css", "h1 { border-bottom: 1px solid; }\n")
    write(root, "js/site.js", "document.title += '';\n")


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode())


def plain(root):
    sections = [("s%02d/index.htm" % s, "Section %d" % s) for s in range(SECTIONS)]
    write(root, "index.htm", page("Crawl benchmark", sections))
    for s in range(SECTIONS):
        articles = [("a%02d.htm" % a, "Article %d.%d" % (s, a)) for a in range(PAGES_PER_SECTION)]
        write(root, "s%02d/index.htm" % s, page("Section %d" % s, articles + [("../index.htm", "Home")]))
        for a in range(PAGES_PER_SECTION):
            links = [("index.htm", "Section"), ("../index.htm", "Home"),
                     ("a%02d.htm" % ((a + 1) % PAGES_PER_SECTION), "Next"),
                     ("more/a%02d.htm" % a, "Further reading")]
            write(root, "s%02d/a%02d.htm" % (s, a), page("Article %d.%d" % (s, a), links))
    return 1 + SECTIONS + SECTIONS * PAGES_PER_SECTION


RICH_SECTIONS = 24
RICH_ARTICLES = 40
IMAGES = 60
TRAP_DEPTH = 12


def rich(root, sections=RICH_SECTIONS):
    RICH_SECTIONS = sections
    count = 0
    for i in range(IMAGES):
        write(root, "img/p%02d.gif" % i, GIF)
    sections = [("s%02d/index.htm" % s, "Section %d" % s) for s in range(RICH_SECTIONS)]
    home = sections + [("frames.htm", "Framed view"), ("trap/index.htm", "Archive"),
                       ("search.htm?q=river", "Search"), ("search.htm?q=bakery&p=2", "More"),
                       ("mailto:desk@example.invalid", "Write to us"),
                       ("ftp://files.example.invalid/pub/", "Files"), ("#top", "Top")]
    write(root, "index.htm", page("Crawl benchmark", home,
                                  extra='<a name="top"></a><img src="img/p00.gif" alt="logo">\n'))
    write(root, "search.htm", page("Search", [("index.htm", "Home")] +
                                   [("s%02d/a00.htm?from=search" % s, "Hit %d" % s)
                                    for s in range(0, RICH_SECTIONS, 3)]))
    nav = "".join('<a href="s%02d/index.htm" target="main">Section %d</a><br>\n' % (s, s)
                  for s in range(RICH_SECTIONS))
    write(root, "nav.htm", "<html><body>\n%s<a href=\"index.htm\" target=\"_top\">Home</a>\n"
                           "</body></html>\n" % nav)
    write(root, "frames.htm",
          '<html><head><title>Framed</title></head>\n<frameset cols="25%,*">\n'
          '<frame src="nav.htm" name="nav">\n<frame src="s00/index.htm" name="main">\n'
          '<noframes><body><a href="s01/index.htm">Section 1</a></body></noframes>\n'
          '</frameset></html>\n')
    count += 4
    for s in range(RICH_SECTIONS):
        articles = [("a%02d.htm" % a, "Article %d.%d" % (s, a)) for a in range(RICH_ARTICLES)]
        write(root, "s%02d/index.htm" % s,
              page("Section %d" % s, articles + [("../index.htm", "Home"),
                                                 ("list.htm?page=2", "Page 2"),
                                                 ("list.htm?page=3", "Page 3")],
                   extra='<img src="../img/p%02d.gif">\n' % (s % IMAGES)))
        write(root, "s%02d/list.htm" % s,
              page("List %d" % s, [("a%02d.htm?sort=date" % a, "By date") for a in range(0, 8)]))
        count += 2
        for a in range(RICH_ARTICLES):
            links = [("index.htm", "Section"), ("../index.htm", "Home"),
                     ("a%02d.htm" % ((a + 1) % RICH_ARTICLES), "Next"),
                     ("a%02d.htm#notes" % ((a + 7) % RICH_ARTICLES), "Notes"),
                     ("#top", "Top"),
                     ("more/a%02d.htm" % a, "Further reading"),
                     ("../s%02d/a%02d.htm" % ((s + 1) % RICH_SECTIONS, a), "Elsewhere"),
                     ("missing/a%02d.htm" % a, "Gone"),
                     ("mailto:author%d@example.invalid" % a, "Author")]
            images = ('<img src="../img/p%02d.gif" alt="x"> <img src="/img/p%02d.gif">\n'
                      % ((s + a) % IMAGES, (s * 7 + a) % IMAGES))
            write(root, "s%02d/a%02d.htm" % (s, a), page("Article %d.%d" % (s, a), links,
                                                         extra=images))
            count += 1
            if a % 2 == 0:
                write(root, "s%02d/more/a%02d.htm" % (s, a),
                      page("More %d.%d" % (s, a), [("../a%02d.htm" % a, "Back"),
                                                   ("deeper/a%02d.htm" % a, "Deeper"),
                                                   ("a%02d.htm" % (a + 2), "Next")]))
                write(root, "s%02d/more/deeper/a%02d.htm" % (s, a),
                      page("Deeper %d.%d" % (s, a), [("../../index.htm", "Section"),
                                                     ("../../../trap/index.htm", "Archive")]))
                count += 2
    folder = "trap"
    for level in range(TRAP_DEPTH):
        write(root, folder + "/index.htm",
              page("Archive level %d" % level, [("t/index.htm", "Older"), ("../index.htm", "Newer"),
                                                ("index.htm?y=%d" % level, "This year")]))
        count += 1
        folder += "/t"
    return count


def big(root, links):
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "big.htm"), "w") as f:
        f.write("<html><head><title>Long list</title></head><body>\n<h1>Long list</h1>\n<ul>\n")
        for i in range(links):
            f.write('<li><a href="item/p%06d.htm?ref=list">Item %06d of the long list</a> '
                    'kept here</li>\n' % (i, i))
        f.write("</ul>\n</body></html>\n")
    return 1


def main(argv):
    global STYLED
    if len(argv) >= 3 and argv[1] == "--styled":
        STYLED = True
        style_files(argv[2])
        print(rich(argv[2]))
    elif len(argv) >= 3 and argv[1] == "--rich":
        print(rich(argv[2], int(argv[3]) if len(argv) > 3 else RICH_SECTIONS))
    elif len(argv) >= 3 and argv[1] == "--big":
        print(big(argv[2], int(argv[3]) if len(argv) > 3 else 200000))
    elif len(argv) == 2:
        print(plain(argv[1]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
