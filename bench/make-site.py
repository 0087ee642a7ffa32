#!/usr/bin/env python3
"""Writes a static site for the crawl benchmark: an index page, SECTIONS section pages and
PAGES_PER_SECTION article pages under each, so that a depth-3 entry on index.htm stores
1 + SECTIONS + SECTIONS * PAGES_PER_SECTION pages. Articles link to their neighbours and back up,
so the spider also meets links it has already stored, and to a page one level further down, so
that the depth limit writes its notices."""
import os
import sys

SECTIONS = 45
PAGES_PER_SECTION = 44
FILLER = ("The river rose again this week, and the bakery kept its doors open while the "
          "council argued about the footbridge. ") * 12


def page(title, links, body=FILLER):
    items = "".join('<li><a href="%s">%s</a></li>\n' % (href, text) for href, text in links)
    return ("<html><head><title>%s</title></head><body>\n<h1>%s</h1>\n<p>%s</p>\n<ul>\n%s</ul>\n"
            "</body></html>\n" % (title, title, body, items))


def main(root):
    os.makedirs(root, exist_ok=True)
    sections = [("s%02d/index.htm" % s, "Section %d" % s) for s in range(SECTIONS)]
    with open(os.path.join(root, "index.htm"), "w") as f:
        f.write(page("Crawl benchmark", sections))
    for s in range(SECTIONS):
        folder = os.path.join(root, "s%02d" % s)
        os.makedirs(folder, exist_ok=True)
        articles = [("a%02d.htm" % a, "Article %d.%d" % (s, a)) for a in range(PAGES_PER_SECTION)]
        with open(os.path.join(folder, "index.htm"), "w") as f:
            f.write(page("Section %d" % s, articles + [("../index.htm", "Home")]))
        for a in range(PAGES_PER_SECTION):
            links = [("index.htm", "Section"), ("../index.htm", "Home"),
                     ("a%02d.htm" % ((a + 1) % PAGES_PER_SECTION), "Next"),
                     ("more/a%02d.htm" % a, "Further reading")]
            with open(os.path.join(folder, "a%02d.htm" % a), "w") as f:
                f.write(page("Article %d.%d" % (s, a), links))
    print(1 + SECTIONS + SECTIONS * PAGES_PER_SECTION)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
