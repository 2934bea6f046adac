#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent and quick when everything is already there; never asks questions.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake pkg-config clang libclang-rt-14-dev locales
  # GUI
  qt6-base-dev qt6-qpa-plugins
  # the form's font (a metric-compatible Tahoma)
  fonts-wine
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # ODBC core and the real drivers the tests and the demo use
  unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3 odbc-postgresql odbc-mariadb odbc-mdbtools
  # throwaway database servers started by the tests
  postgresql-15 mariadb-server
  # workbook readers, and a second writer for test fixtures
  libzip-dev libexpat1-dev zlib1g-dev libxlsxwriter-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
# Servers must not be started by the package scripts: the tests start their own.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod +x /usr/sbin/policy-rc.d
  trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
