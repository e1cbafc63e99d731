#!/bin/sh
# Generates sqlite3.c and sqlite3.h from SQLite's source tree into a folder.
# Usage: make-sqlite-amalgamation.sh <sqlite source tree> <output folder>
set -e
src=$(cd "$1" && pwd)
out=$2
work="$out/work"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
if ! env -u CC -u CFLAGS "$src/configure" --disable-tcl >configure.log 2>&1; then
  tail -40 configure.log >&2
  exit 1
fi
if ! make sqlite3.c >make.log 2>&1; then
  tail -40 make.log >&2
  exit 1
fi
cp sqlite3.c sqlite3.h ..
cd ..
rm -rf "$work"
