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
"$tree/bin/gathra" settings | grep -x "program-folder: $tree/share/gathralight/" >/dev/null ||
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

# The package's dependencies on the libraries the programs open at run time hold here: the
# package that holds each library is one of the alternatives named, at a version they allow.
depends_hold() { # soname
  local path owner version clause alternative name relation
  # awk reads to the end: a reader that stops early would end ldconfig with SIGPIPE, which
  # pipefail turns into a silent exit of this script.
  path=$(ldconfig -p | awk -v lib="$1" '$1 == lib && path == "" { path = $NF } END { print path }')
  [ -n "$path" ] || fail "$1 is not installed"
  owner=$(dpkg-query -S "$(readlink -f "$path")" 2>/dev/null | head -1 | cut -d: -f1 || true)
  [ -n "$owner" ] || fail "no package holds $path"
  version=$(dpkg-query -W -f='${Version}' "$owner")
  clause=$(tr ',' '\n' <<<"$depends" | grep -E "(^| )${1%%.so*}[0-9-]" || true)
  clause=${clause# }
  [ -n "$clause" ] || fail "the package names no dependency for $1"
  while read -r alternative; do
    name=${alternative%% *}
    [ "$name" = "$owner" ] || continue
    relation=$(sed -n 's/.*(\(.*\) \(.*\))/\1 \2/p' <<<"$alternative")
    [ -z "$relation" ] && return 0
    # shellcheck disable=SC2086
    dpkg --compare-versions "$version" $(sed 's/>=/ge/;s/<=/le/;s/>>/gt/;s/<</lt/;s/=/eq/' <<<"$relation") &&
      return 0
  done < <(tr '|' '\n' <<<"$clause" | sed 's/^ *//;s/ *$//')
  fail "$1 comes from $owner $version, which \"$clause\" does not allow"
}
if command -v dpkg-query >/dev/null && [ -f "$build/CPackConfig.cmake" ]; then
  depends=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  depends_hold libssl.so.3
  depends_hold libsqlite3.so.0
  depends_hold libnghttp2.so.14
fi

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
