#!/usr/bin/env bash
# Starts and stops the throwaway database servers of the tests.
#
#   test_server.sh start|stop pg|mariadb DIR
#
# DIR (the build tree's test-servers/) holds each server's data, socket, log
# and the files tests read to find it:
#   pg.port, pg.socketdir          PostgreSQL 15 on 127.0.0.1, user sysdba / bluefoxes
#                                  (password auth over TCP, trust on the socket)
#   mariadb.port, mariadb.socket   MariaDB on 127.0.0.1, user sysdba / bluefoxes
# Start and stop of one server hold a lock, so two ctest runs never start two
# servers on the same directory; a server left running by an interrupted run
# is stopped and its data made anew. Runs as root (servers then run as the
# postgres / mysql users) or as an ordinary user.
set -euo pipefail

action=${1:?start or stop}
kind=${2:?pg or mariadb}
dir=${3:?directory}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

PG_BIN=/usr/lib/postgresql/15/bin
USER_NAME=sysdba
USER_PASSWORD=bluefoxes

log() { echo "[test_server $kind] $*"; }
fail() {
  echo "[test_server $kind] FAILED: $*" >&2
  exit 1
}

# As the given system user when we are root, else as ourselves.
as_user() {
  local user=$1
  shift
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$user" -- "$@"
  else
    "$@"
  fi
}

port_is_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

pick_port() {
  local p
  for _ in $(seq 1 50); do
    p=$((20000 + RANDOM % 40000))
    if port_is_free "$p"; then
      echo "$p"
      return 0
    fi
  done
  fail "no free TCP port found on 127.0.0.1"
}

# ---------------------------------------------------------------- PostgreSQL
pg_stop() {
  local data=$dir/pg/data
  if [ -f "$data/postmaster.pid" ]; then
    log "stopping"
    as_user postgres "$PG_BIN/pg_ctl" -D "$data" -m fast -w -t 30 stop >/dev/null 2>&1 ||
      as_user postgres "$PG_BIN/pg_ctl" -D "$data" -m immediate -w -t 10 stop >/dev/null 2>&1 || true
    if [ -f "$data/postmaster.pid" ]; then
      local pid
      pid=$(head -1 "$data/postmaster.pid" 2>/dev/null || true)
      [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
    fi
  fi
  rm -f "$dir/pg.port" "$dir/pg.socketdir"
}

pg_start() {
  [ -x "$PG_BIN/initdb" ] || fail "PostgreSQL 15 is not installed ($PG_BIN/initdb); run scripts/install-deps.sh"
  pg_stop
  local base=$dir/pg
  rm -rf "$base"
  mkdir -p "$base/sock"
  printf '%s\n' "$USER_PASSWORD" >"$base/pwfile"
  if [ "$(id -u)" -eq 0 ]; then chown -R postgres: "$base"; fi
  log "initdb in $base/data"
  if ! as_user postgres "$PG_BIN/initdb" -D "$base/data" -U "$USER_NAME" --pwfile="$base/pwfile" \
      --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync \
      >"$base/initdb.log" 2>&1; then
    cat "$base/initdb.log" >&2
    fail "initdb failed"
  fi
  local port attempt
  for attempt in 1 2 3 4 5; do
    port=$(pick_port)
    log "starting on 127.0.0.1:$port (attempt $attempt)"
    if as_user postgres "$PG_BIN/pg_ctl" -D "$base/data" -l "$base/server.log" -w -t 60 \
        -o "-p $port -k $base/sock -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
        start >/dev/null 2>&1 9>&-; then
      break
    fi
    port=""
    as_user postgres "$PG_BIN/pg_ctl" -D "$base/data" -m immediate stop >/dev/null 2>&1 || true
  done
  if [ -z "$port" ]; then
    tail -n 40 "$base/server.log" >&2 || true
    fail "the server did not start"
  fi
  local ready=""
  for _ in $(seq 1 60); do
    if pg_isready -q -h 127.0.0.1 -p "$port" -U "$USER_NAME" -d postgres; then
      ready=1
      break
    fi
    sleep 0.5
  done
  if [ -z "$ready" ]; then
    tail -n 40 "$base/server.log" >&2 || true
    pg_stop
    fail "the server did not become ready within 30 s"
  fi
  echo "$port" >"$dir/pg.port"
  echo "$base/sock" >"$dir/pg.socketdir"
  log "ready on port $port"
}

# ---------------------------------------------------------------- MariaDB
mariadb_stop() {
  local base=$dir/mariadb
  if [ -f "$base/mariadbd.pid" ]; then
    log "stopping"
    local pid
    pid=$(cat "$base/mariadbd.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      mariadb-admin --no-defaults --socket="$base/mariadb.sock" -uroot shutdown >/dev/null 2>&1 ||
        kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 60); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
      done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$base/mariadbd.pid"
  fi
  rm -f "$dir/mariadb.port" "$dir/mariadb.socket"
}

mariadb_start() {
  command -v mariadbd >/dev/null || [ -x /usr/sbin/mariadbd ] || fail "MariaDB is not installed; run scripts/install-deps.sh"
  local mariadbd=/usr/sbin/mariadbd
  mariadb_stop
  local base=$dir/mariadb
  rm -rf "$base"
  mkdir -p "$base/data" "$base/tmp"
  local runas=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R mysql: "$base"
    runas=(--user=mysql)
  fi
  log "mariadb-install-db in $base/data"
  if ! mariadb-install-db --no-defaults --datadir="$base/data" "${runas[@]}" \
      --auth-root-authentication-method=normal --skip-test-db \
      >"$base/install.log" 2>&1; then
    cat "$base/install.log" >&2
    fail "mariadb-install-db failed"
  fi
  local port attempt pid ready=""
  for attempt in 1 2 3 4 5; do
    port=$(pick_port)
    log "starting on 127.0.0.1:$port (attempt $attempt)"
    "$mariadbd" --no-defaults --datadir="$base/data" "${runas[@]}" --socket="$base/mariadb.sock" \
      --port="$port" --bind-address=127.0.0.1 --pid-file="$base/mariadbd.pid" \
      --log-error="$base/server.log" --tmpdir="$base/tmp" --skip-log-bin \
      --innodb-buffer-pool-size=32M --innodb-log-file-size=16M --innodb-flush-log-at-trx-commit=0 \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
      --max-connections=200 </dev/null >/dev/null 2>&1 9>&- &
    pid=$!
    for _ in $(seq 1 60); do
      if ! kill -0 "$pid" 2>/dev/null; then break; fi
      if mariadb-admin --no-defaults --socket="$base/mariadb.sock" -uroot ping >/dev/null 2>&1; then
        ready=1
        break
      fi
      sleep 0.5
    done
    [ -n "$ready" ] && break
    kill -9 "$pid" 2>/dev/null || true
  done
  if [ -z "$ready" ]; then
    tail -n 40 "$base/server.log" >&2 || true
    fail "the server did not become ready"
  fi
  echo "$pid" >"$base/mariadbd.pid"
  if ! mariadb --no-defaults --socket="$base/mariadb.sock" -uroot -e \
      "CREATE USER '$USER_NAME'@'%' IDENTIFIED BY '$USER_PASSWORD';
       CREATE USER '$USER_NAME'@'localhost' IDENTIFIED BY '$USER_PASSWORD';
       GRANT ALL PRIVILEGES ON *.* TO '$USER_NAME'@'%' WITH GRANT OPTION;
       GRANT ALL PRIVILEGES ON *.* TO '$USER_NAME'@'localhost' WITH GRANT OPTION;" >&2; then
    mariadb_stop
    fail "cannot create the user $USER_NAME"
  fi
  echo "$port" >"$dir/mariadb.port"
  echo "$base/mariadb.sock" >"$dir/mariadb.socket"
  log "ready on port $port"
}

exec 9>"$dir/$kind.lock"
flock -w 300 9 || fail "another run holds $dir/$kind.lock"

case "$kind:$action" in
  pg:start) pg_start ;;
  pg:stop) pg_stop ;;
  mariadb:start) mariadb_start ;;
  mariadb:stop) mariadb_stop ;;
  *) fail "usage: $0 start|stop pg|mariadb DIR" ;;
esac
