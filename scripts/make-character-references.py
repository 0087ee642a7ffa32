#!/usr/bin/env python3
"""Writes src/Html/NamedCharacters.inc: the named character references of HTML (the list that
Python's html.entities module carries), sorted by name, for Html/CharacterReferences.cpp.

Each row is {name, first code point, second code point or 0, legacy}: legacy names are also read
without their ";"."""
import html.entities
import pathlib

names = {}
for key, value in html.entities.html5.items():
    name = key.rstrip(';')
    legacy = not key.endswith(';')
    names[name] = (value, names.get(name, (value, False))[1] or legacy)


def points(text):
    codes = [ord(c) for c in text] + [0]
    return '0x%X,%s' % (codes[0], '0' if codes[1] == 0 else '0x%X' % codes[1])


rows = ['{"%s",%s,%d}' % (name, points(value), int(legacy))
        for name, (value, legacy) in sorted(names.items(), key=lambda item: item[0].encode())]
lines = ['// Written by scripts/make-character-references.py; do not edit.']
line = ''
for row in rows:
    piece = row + ','
    if line and len(line) + 1 + len(piece) > 100:
        lines.append(line)
        line = ''
    line = (line + ' ' + piece) if line else piece
lines.append(line)
target = pathlib.Path(__file__).resolve().parent.parent / 'src/Html/NamedCharacters.inc'
target.write_text('\n'.join(lines) + '\n')
print(len(rows), 'names,', len(lines), 'lines')
