#!/usr/bin/env bash
# Reads every cell of columns 1 to 12 of a 100,000-row workbook through the
# stand-in and, on the same file, with SheetJS in node; both pinned to one
# core. Goal: at least 2.4 million cells/s and at least three times SheetJS.
# Then reads the worst workbooks the size limits let through (written by
# bench_spreadsheet_worst, about 1.1 GB in BUILD_DIR/bench-spreadsheet/worst),
# each in its own process. Goal: none peaks above 512 MiB.
# usage: bench/spreadsheet/run.sh [BUILD_DIR] [ROWS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rows=${2:-100000}
work="$build/bench-spreadsheet"
mkdir -p "$work"
cmake --build "$build" --target bench_spreadsheet_read bench_spreadsheet_worst -j3 >/dev/null
if [ ! -d "$work/node_modules/xlsx" ]; then
  cp "$root/tests/data/generate/package.json" "$root/tests/data/generate/package-lock.json" "$work/"
  (cd "$work" && npm ci --no-audit --no-fund --silent)
fi
book="$work/waybills-$rows.xlsx"
[ -f "$book" ] || (cd "$work" && NODE_PATH="$work/node_modules" node "$root/bench/spreadsheet/make_workbook.js" "$book" "$rows")
echo "workbook: $book ($(du -k "$book" | cut -f1) KiB)"
pin=""
command -v taskset >/dev/null && pin="taskset -c 0"
ours=$($pin "$build/bench/spreadsheet/bench_spreadsheet_read" "$book" "$rows" 3)
theirs=$(cd "$work" && NODE_PATH="$work/node_modules" $pin node "$root/bench/spreadsheet/sheetjs_read.js" "$book" "$rows" 3)
echo "$ours" | grep -v '^RESULT'
echo "$theirs" | grep -v '^RESULT'
s=$(echo "$ours" | sed -n 's/.*standin_seconds=\([0-9.]*\).*/\1/p')
j=$(echo "$theirs" | sed -n 's/.*sheetjs_seconds=\([0-9.e-]*\).*/\1/p')
awk -v s="$s" -v j="$j" -v c="$((rows * 12))" 'BEGIN {
  printf "stand-in %.2f million cells/s (goal 2.4), %.1f times SheetJS (goal 3)\n", c / s / 1e6, j / s }'
mkdir -p "$work/worst"
"$build/bench/spreadsheet/bench_spreadsheet_worst" "$work/worst" | grep -v '^RESULT'
