#!/usr/bin/env bash
# Builds and runs the window's benchmark with the tests' throwaway PostgreSQL
# server (tests/support/test_server.sh) started around it. Arguments go to
# the benchmark (e.g. --benchmark_filter=sqlite).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j3 --target bench_app
servers=build/test-servers
bash tests/support/test_server.sh start pg "$servers"
trap 'bash tests/support/test_server.sh stop pg "$servers"' EXIT
build/bench/app/bench_app "$@"
