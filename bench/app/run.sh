#!/usr/bin/env bash
# Builds and runs the window's benchmark with the tests' throwaway PostgreSQL
# server (tests/support/test_server.sh) started around it. Arguments go to
# the benchmark (e.g. --benchmark_filter=sqlite).
#
# bench/app/run.sh --worst [DIR]: the whole program's peak memory on the
# worst workbooks instead. bench_spreadsheet_worst writes them into DIR
# (default build/bench-spreadsheet/worst, about 1.6 GB; kept for later runs)
# and reports the reader's peak on each; then each goes through the real
# window, "Procesar" and "Guardar" on SQLite, in a process of its own, beside
# the reader alone. Goal: no process above 512 MiB.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "${1:-}" = "--worst" ]; then
  dir=${2:-build/bench-spreadsheet/worst}
  cmake --build build -j3 --target bench_spreadsheet_worst bench_app_worst
  mkdir -p "$dir"
  build/bench/spreadsheet/bench_spreadsheet_worst "$dir" | grep -v '^RESULT' || true
  exec build/bench/app/bench_app_worst "$dir"
fi
cmake --build build -j3 --target bench_app
servers=build/test-servers
bash tests/support/test_server.sh start pg "$servers"
trap 'bash tests/support/test_server.sh stop pg "$servers"' EXIT
build/bench/app/bench_app "$@"
