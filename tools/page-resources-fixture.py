#!/usr/bin/env python3
"""Writes a documentation page as site generators write them today, for looking at a stored copy
beside the page on-line: ROOT/site (theme stylesheet importing a base one and itself, a web font,
pictures named by stylesheets, a style block and a style attribute, an icon, srcset and picture
sources, two inline frames) and ROOT/cdn (a stylesheet and a script of a second host, whose
address is http://127.0.0.1:CDN_PORT). Usage: page-resources-fixture.py ROOT CDN_PORT"""
import os, sys, subprocess, shutil
root, cdn_port = sys.argv[1], sys.argv[2]
cdn = "http://127.0.0.1:%s" % cdn_port
def w(path, text, mode="w"):
    p = os.path.join(root, path); os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, mode) as f: f.write(text)
w("site/docs/index.html", """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Fixture Docs</title>
<link rel="stylesheet" href="_static/theme.css" type="text/css">
<link rel="stylesheet" href="%s/cdn/extra.css">
<link rel="icon" href="_static/favicon.png">
<script src="%s/cdn/lib.js"></script>
<style>.hero { background-image: url("_static/hero.png"); }</style>
</head><body>
<div class="wrap"><nav class="side"><ul><li><a href="index.html">Home</a></li><li><a href="guide.html">Guide</a></li><li><a href="api.html">API</a></li></ul></nav>
<main><h1 id="top">Fixture documentation</h1><div class="hero">Hero</div>
<p class="note" style="background:url('_static/note.png') no-repeat">A note with a picture.</p>
<picture><source srcset="_static/pic-2x.png 2x, _static/pic.png 1x" media="(min-width: 10px)"><img src="_static/pic.png" srcset="_static/pic.png 1x, _static/pic-2x.png 2x" alt="pic"></picture>
<iframe src="frame1.html" width="300" height="80"></iframe><iframe src="frame2.html" width="300" height="80"></iframe>
<p id="js">script did not run</p>
<a href="#top">back to top</a>
</main></div></body></html>
""" % (cdn, cdn))
w("site/docs/frame1.html", '<html><head><link rel="stylesheet" href="_static/theme.css"></head><body><p class="framed">Frame one</p></body></html>')
w("site/docs/frame2.html", '<html><body style="background:#eef"><p>Frame two</p></body></html>')
w("site/docs/_static/theme.css", """@import url("basic.css");
@import "theme.css";
@font-face { font-family: "Fixture"; src: url(fonts/fixture.ttf) format("truetype"); }
body { font-family: "Fixture", sans-serif; margin: 0; }
.wrap { display: flex; }
nav.side { width: 200px; background: #234 url(../_static/side.png) repeat-y; color: white; min-height: 600px; }
nav.side ul { list-style: none; padding: 10px; }
nav.side a { color: #fff; }
main { padding: 20px; }
.hero { height: 60px; background-size: cover; color: white; }
.framed { color: #a00; }
""")
w("site/docs/_static/basic.css", "h1 { border-bottom: 4px solid #c60; }\n.note { padding-left: 40px; min-height: 32px; }\n")
w("cdn/cdn/extra.css", "main h1 { color: #363; }\n")
w("cdn/cdn/lib.js", "document.addEventListener('DOMContentLoaded', function(){ document.getElementById('js').textContent = 'script ran'; });\n")
for name, color, size in [("favicon.png","red","16x16"),("hero.png","#48c","400x60"),("note.png","orange","32x32"),("pic.png","green","120x60"),("pic-2x.png","green","240x120"),("side.png","#345","200x10")]:
    p = os.path.join(root, "site/docs/_static", name)
    subprocess.run(["convert", "-size", size, "xc:" + color, p], check=True)
os.makedirs(os.path.join(root, "site/docs/_static/fonts"), exist_ok=True)
shutil.copy("/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf", os.path.join(root, "site/docs/_static/fonts/fixture.ttf"))
