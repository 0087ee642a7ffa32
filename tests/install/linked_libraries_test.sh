#!/usr/bin/env bash
# Checks that the programs do not link the libraries they open only when a run needs them
# (OpenSSL for secure pages, SQLite for browser bookmark databases): a direct call of one of their
# functions would link it again, and every run would load it at start-up.
# Usage: linked_libraries_test.sh PROGRAM...
set -euo pipefail
if ! command -v objdump >/dev/null; then
  echo "SKIPPED: objdump not installed (scripts/install-deps installs binutils)"
  exit 77
fi
status=0
for program in "$@"; do
  # The program's own NEEDED entries, not those of the libraries it links.
  needed=$(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }') || needed=""
  if ! grep -qE '^libc\.so\.[0-9]+$' <<<"$needed"; then
    echo "FAIL: no list of needed libraries read from $program"
    status=1
  elif linked=$(grep -E '^lib(ssl|crypto|sqlite3)\.so' <<<"$needed"); then
    echo "FAIL: $program links" $linked
    status=1
  fi
done
[ $status -eq 0 ] && echo "no program links OpenSSL or SQLite"
exit $status
