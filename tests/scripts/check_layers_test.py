#!/usr/bin/env python3
"""scripts/check-layers on small made-up source trees: what it must find and what it must pass."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "check-layers")


def run(files, docs=None):
    """Writes `files` ({path under src: text}) into a new tree and checks it: (exit code, lines)."""
    with tempfile.TemporaryDirectory() as top:
        src = os.path.join(top, "src")
        os.makedirs(src)
        for rel, text in files.items():
            path = os.path.join(src, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        args = [sys.executable, SCRIPT, src]
        if docs is not None:
            doc = os.path.join(top, "DEVELOPING.md")
            with open(doc, "w", encoding="utf-8") as f:
                f.write(docs)
            args += ["--docs", doc]
        done = subprocess.run(args, capture_output=True, text=True, timeout=60)
        return done.returncode, done.stdout.splitlines()


# Headers every case starts from; each case adds the files it is about.
BASE = {
    "Text/Utf8.h": "#pragma once\n",
    "Platform/Clock.h": '#pragma once\n#include "Text/Utf8.h"\n#include <string>\n',
    "Net/Client.h": "#pragma once\n",
    "Run/Spider.h": "#pragma once\n",
    "Gui/Window.h": "#pragma once\n#include <QWidget>\n",
    "App/gathra/main.cpp": '#include "Run/Spider.h"\n',
    "App/gathralight/main.cpp": '#include "Gui/Window.h"\n#include <QApplication>\n',
}

ORDER = ("Text → Platform → Html → Brief → Settings → Net → Run → Imports → Search → Desktop → "
         "Gui → App")


class CheckLayersTest(unittest.TestCase):
    def test_cases(self):
        # (what, extra files, expected exit code, text each fault line must hold, fault count)
        cases = [
            ("a clean tree passes", {}, 0, [], 0),
            ("own folder without its name", {"Run/Spider.cpp": '#include "Spider.h"\n'}, 0, [], 0),
            ("an upward include", {"Net/Client.cpp": '#include "Run/Spider.h"\n'}, 1,
             ["src/Net/Client.cpp:1", "Run is above Net"], 1),
            ("Qt in the core", {"Run/Spider.cpp": "#include <QString>\n"}, 1,
             ["src/Run/Spider.cpp:1: Qt include <QString>"], 1),
            ("Qt module header in the core", {"Net/Client.cpp": "#include <QtCore/QObject>\n"},
             1, ["<QtCore/QObject>"], 1),
            ("the command line reaching Qt", {"App/gathra/x.cpp": '#include "Gui/Window.h"\n'},
             1, ["src/App/gathra/x.cpp:1: includes Gui/Window.h, which brings Qt along"], 1),
            ("an include in a comment",
             {"Net/Client.cpp": '/*\n#include "Run/Spider.h"\n*/\n// #include <QString>\n'},
             0, [], 0),
            ("a folder the order does not name", {"Misc/Index.h": "#pragma once\n"}, 1,
             ["src/Misc: a folder the order does not name"], 1),
            ("system and unknown quoted includes are not the program's",
             {"Text/x.cpp": '#include <qrcode.h>\n#include "zlib.h"\n'}, 0, [], 0),
        ]
        for what, extra, code, texts, count in cases:
            with self.subTest(what):
                got, lines = run({**BASE, **extra})
                self.assertEqual(got, code, lines)
                self.assertEqual(len(lines), count, lines)
                for text in texts:
                    self.assertIn(text, lines[0])

    def test_cycle_names_both_directions(self):
        code, lines = run({**BASE, "Net/Client.cpp": '#include "Run/Spider.h"\n',
                           "Run/Spider.cpp": '#include "Net/Client.h"\n'})
        self.assertEqual(code, 1)
        cycle = [line for line in lines if line.startswith("include cycle")]
        self.assertEqual(len(cycle), 1, lines)
        self.assertIn("Net, Run", cycle[0])
        self.assertIn("src/Net/Client.cpp:1 (Net -> Run)", cycle[0])
        self.assertIn("src/Run/Spider.cpp:1 (Run -> Net)", cycle[0])

    def test_documented_order(self):
        self.assertEqual(run(BASE, docs=f"Includes run one way: {ORDER}.\n")[0], 0)
        code, lines = run(BASE, docs=ORDER.replace("Net → Run", "Run → Net"))
        self.assertEqual(code, 1)
        self.assertIn("does not state the order", lines[0])


if __name__ == "__main__":
    unittest.main()
