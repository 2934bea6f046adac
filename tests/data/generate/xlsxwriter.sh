#!/usr/bin/env bash
# Builds and runs xlsxwriter_fixtures.c (Debian's libxlsxwriter-dev) to write
# the libxlsxwriter test workbooks into tests/data/. Run by hand.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cc -std=c99 -Wall -Wextra -o "$tmp/fixtures" xlsxwriter_fixtures.c $(pkg-config --cflags --libs xlsxwriter)
"$tmp/fixtures"
