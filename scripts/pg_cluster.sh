#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the test run.
#
#   scripts/pg_cluster.sh start DIR   initdb in DIR/data (once), start the server on a Unix
#                                     socket in DIR and a loopback port, write DIR/odbcinst.ini
#                                     and DIR/env (the ODBC connection string the tests use)
#   scripts/pg_cluster.sh stop DIR    stop it (the files stay for the next start)
#
# The server runs as the invoking user, or as the `postgres` system user when invoked as
# root (the server refuses to run as root; CI runs the suite as root). Authentication is
# `trust` on the socket and on 127.0.0.1 only: the cluster holds nothing but test data.
# Where PostgreSQL or its ODBC driver is not installed, `start` writes DIR/unavailable
# with the reason and exits 0, so the tests that need the server skip instead of failing.
set -euo pipefail

action="${1:?usage: pg_cluster.sh start|stop DIR}"
dir="${2:?usage: pg_cluster.sh start|stop DIR}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"

pgbin=""
for candidate in /usr/lib/postgresql/*/bin; do
  [ -x "$candidate/initdb" ] && pgbin="$candidate"
done
odbc_driver=""
for candidate in /usr/lib/*/odbc/psqlodbcw.so /usr/lib/odbc/psqlodbcw.so /usr/lib64/psqlodbcw.so; do
  [ -e "$candidate" ] && odbc_driver="$candidate" && break
done

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# The port is derived from the folder so two build trees on one machine do not collide.
port=$(( 20000 + $(printf '%s' "$dir" | cksum | cut -d' ' -f1) % 20000 ))

case "$action" in
  start)
    rm -f "$dir/unavailable" "$dir/env"
    if [ -z "$pgbin" ] || [ -z "$odbc_driver" ]; then
      echo "PostgreSQL or psqlODBC is not installed" >"$dir/unavailable"
      echo "pg_cluster: $(cat "$dir/unavailable"); server tests will be skipped"
      exit 0
    fi
    if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
      echo "no postgres system user to run the server as" >"$dir/unavailable"
      echo "pg_cluster: $(cat "$dir/unavailable"); server tests will be skipped"
      exit 0
    fi
    # The server's own files live outside the build tree's ownership when run as root.
    if [ "$(id -u)" -eq 0 ]; then
      chown postgres: "$dir"
      # Every folder above must let the server's user through to its socket and data.
      d="$dir"
      while [ "$d" != "/" ]; do
        d="$(dirname "$d")"
        [ -x "$d" ] || chmod o+x "$d" 2>/dev/null || true
      done
    fi
    if [ ! -s "$dir/data/PG_VERSION" ]; then
      rm -rf "$dir/data"
      as_owner "$pgbin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 \
        --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        as_owner "$pgbin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C \
          >"$dir/initdb.log" 2>&1
    fi
    # A server left running by an interrupted run is stopped first.
    as_owner "$pgbin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    as_owner "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=100 -c TimeZone=UTC -c DateStyle=ISO,MDY" \
      >/dev/null
    cat >"$dir/odbcinst.ini" <<EOF
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$odbc_driver
EOF
    # The tests' server string: the socket folder as the host (libpq reads a path there as
    # the socket's folder); each test adds its own Database=.
    printf 'Driver={PostgreSQL Unicode};Server=%s;Port=%s;UID=postgres;PWD=;' "$dir" "$port" >"$dir/env"
    echo "pg_cluster: running on $dir (port $port)"
    ;;
  stop)
    if [ -n "$pgbin" ] && [ -s "$dir/data/PG_VERSION" ]; then
      as_owner "$pgbin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    ;;
  *)
    echo "usage: pg_cluster.sh start|stop DIR" >&2
    exit 2
    ;;
esac
