#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR and tries the installed programs from there:
# they must find their data beside their own location, and the desktop files must validate.
# Usage: install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
root="$work/root"
prefix=/usr
export GATHRA_CONFIG_DIR="$work/config"
unset GATHRA_PROGRAM_FOLDER

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  fail "cmake --install failed (see $work/install.log)"
tree="$root$prefix"
app=org.gathralight.GathraLight

for f in bin/gathra bin/gathralight \
         share/gathralight/images/brief.gif share/gathralight/help/contents.html \
         share/gathralight/Briefs/News.brf share/gathralight/demo-site/index.htm \
         share/applications/$app.desktop share/metainfo/$app.metainfo.xml \
         share/mime/packages/$app.xml share/icons/hicolor/scalable/apps/$app.svg \
         share/icons/hicolor/16x16/apps/$app.png share/icons/hicolor/256x256/apps/$app.png \
         share/man/man1/gathra.1 share/man/man1/gathralight.1 \
         share/bash-completion/completions/gathra; do
  [ -e "$tree/$f" ] || fail "not installed: $f"
done

# Both programs say their version.
"$tree/bin/gathra" --version | grep -qx 'gathra 2.0' || fail "gathra --version"
"$tree/bin/gathralight" --version | grep -qx 'gathralight 2.0' || fail "gathralight --version"

# The installed command line finds its program folder (and the demo site) from where it sits.
"$tree/bin/gathra" settings | grep -qx "program-folder: $tree/share/gathralight/" ||
  fail "program folder: $("$tree/bin/gathra" settings | grep program-folder)"
summary=$("$tree/bin/gathra" demo "$work/demo" --quiet) || fail "gathra demo failed"
[ -f "$summary" ] || fail "gathra demo printed no summary page: $summary"
grep -q "$tree/share/gathralight/images/" "$summary" || fail "the summary page does not use the installed images"

# The shared MIME database takes the brief type, and knows a brief by its first bytes.
mkdir -p "$work/mime/packages"
cp "$tree/share/mime/packages/$app.xml" "$work/mime/packages/"
update-mime-database "$work/mime" || fail "update-mime-database"
grep -q 'application/x-gathra-brief' "$work/mime/globs2" || fail "no *.brf glob"
grep -q 'SKBF-QRW' "$work/mime/magic" || fail "no SKBF-QRW magic"

missing=()
# Neither program links OpenSSL or SQLite: both are opened when a run first needs them.
if command -v objdump >/dev/null; then
  "$(dirname "$0")/linked_libraries_test.sh" "$tree/bin/gathra" "$tree/bin/gathralight" ||
    fail "an installed program links a library it should open on first use"
else
  missing+=(objdump)
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$tree/share/applications/$app.desktop" || fail "desktop-file-validate"
else
  missing+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$tree/share/metainfo/$app.metainfo.xml" ||
    fail "appstreamcli validate"
else
  missing+=(appstreamcli)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: ${missing[*]} not installed (scripts/install-deps installs them)"
  exit 77
fi
echo "installed tree OK"
