#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the program and starts it on a
# demo SQLite database with a sample workbook, all kept in .demo/ of the
# repository: its own ODBC data-source lists (ODBCINI, ODBCSYSINI), its own
# per-user settings and INI directory. The user's own ODBC files and settings
# are never touched. The demo is created once; delete .demo/ to start afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

echo "== build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target importaguias importaguias_demo

demo="$root/.demo"
if [ ! -f "$demo/talven.db" ]; then
  echo "== demo database, data source TALVEN and sample workbook in $demo"
  build/demo/importaguias_demo crear "$demo"
fi

export ODBCINI="$demo/odbc.ini"
export ODBCSYSINI="$demo"
export XDG_CONFIG_HOME="$demo/config"
export WINDIR="$demo"
echo "== importaguias (workbook to try: $demo/guias-demo.xlsx)"
exec build/app/importaguias "$@"
