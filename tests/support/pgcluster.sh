#!/usr/bin/env bash
# pgcluster.sh start|stop STATE_FILE
#
# Starts (or stops) a throwaway PostgreSQL server for the tests that run
# against the server engine. The server lives in a fresh folder under /tmp and
# listens only on a Unix socket in that folder: no TCP port, so parallel runs
# on one machine never meet. PostgreSQL refuses to run as root, and the suite
# runs as root on the build machines, so there the server runs as an ordinary
# user ("postgres", or "nobody" where that user is missing).
#
# The state file holds one KEY=VALUE a line: folder, uri (the connection URI
# of the "postgres" database, superuser role "bm"), user and bin, which is
# all that "stop" and the tests need.
set -Eeuo pipefail

usage() {
  echo "usage: $0 start|stop STATE_FILE" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action="$1"
state="$2"

# Settings of the caller's own PostgreSQL client or server must not leak in.
unset PGDATA PGHOST PGHOSTADDR PGPORT PGUSER PGDATABASE PGSERVICE PGOPTIONS

# One value from the state file (empty when the key is absent).
state_value() {
  sed -n "s/^$1=//p" "$state" | head -n 1
}

# Runs a command as the user the server belongs to.
as_server_user() {
  if [ -n "$server_user" ]; then
    runuser -u "$server_user" -- "$@"
  else
    "$@"
  fi
}

# The folder of initdb and pg_ctl: 15 where it is there, else the newest.
find_bin() {
  if [ -x /usr/lib/postgresql/15/bin/initdb ]; then
    echo /usr/lib/postgresql/15/bin
    return
  fi
  local newest=""
  local dir
  for dir in $(printf "%s\n" /usr/lib/postgresql/*/bin | sort -V); do
    if [ -x "$dir/initdb" ]; then newest="$dir"; fi
  done
  if [ -z "$newest" ]; then
    echo "pgcluster: no PostgreSQL server found under /usr/lib/postgresql (package postgresql)" >&2
    return 1
  fi
  echo "$newest"
}

# Only a folder this script made is ever removed: an edited or damaged state
# file must not turn "stop" into a recursive delete somewhere else.
is_our_folder() {
  case "$1" in
    /tmp/bmpg.*) [ -d "$1" ] && [ ! -L "$1" ] ;;
    *) return 1 ;;
  esac
}

stop_cluster() {
  if [ ! -e "$state" ]; then
    echo "pgcluster: no state file $state, nothing to stop"
    return 0
  fi
  local folder bin
  folder="$(state_value folder)"
  bin="$(state_value bin)"
  server_user="$(state_value user)"
  local failed=0
  if [ -n "$folder" ] && [ -f "$folder/data/postmaster.pid" ]; then
    # A throwaway cluster: nothing of it is kept, so it need not shut down
    # cleanly (a clean shutdown writes a checkpoint of every database the
    # tests made, which can take minutes on a busy machine).
    if ! (cd "$folder" && as_server_user "$bin/pg_ctl" stop -D "$folder/data" -m immediate -w -t 60 >/dev/null); then
      echo "pgcluster: the server in $folder did not stop" >&2
      failed=1
    fi
  fi
  if [ "$failed" -eq 0 ]; then
    if is_our_folder "$folder"; then
      rm -rf -- "$folder"
    elif [ -n "$folder" ]; then
      echo "pgcluster: not removing $folder: not a folder made by this script" >&2
    fi
    rm -f -- "$state"
    echo "pgcluster: stopped${folder:+ the server in $folder}"
  fi
  return "$failed"
}

start_cluster() {
  # A state file left by an earlier run that never got to "stop" (killed,
  # crashed) still names a running server: stop it first.
  if [ -e "$state" ]; then
    echo "pgcluster: stopping the server of an earlier run"
    stop_cluster
  fi

  local bin
  bin="$(find_bin)"
  server_user=""
  if [ "$(id -u)" -eq 0 ]; then
    if id -u postgres >/dev/null 2>&1; then server_user=postgres; else server_user=nobody; fi
  fi

  # Short name: the socket path (folder + "/.s.PGSQL.5432") has to fit in
  # the ~107 bytes of a Unix socket address.
  folder="$(mktemp -d /tmp/bmpg.XXXXXX)"
  trap 'start_failed' ERR
  chmod 755 "$folder"
  mkdir -m 700 "$folder/data"
  if [ -n "$server_user" ]; then
    chown -R "$server_user": "$folder"
  fi

  # The server user may not be able to enter the caller's folder.
  cd "$folder"
  as_server_user "$bin/initdb" -D "$folder/data" -E UTF8 --locale=C --auth=trust -U bm --no-instructions --no-sync \
    >"$folder/initdb.log" 2>&1
  # Nothing here is kept after the run, so durability is traded for speed;
  # BM_PGCLUSTER_DURABLE=1 (for the benchmarks) keeps the server's own
  # defaults for writing and its usual 128 MB of shared buffers.
  local settings="-c shared_buffers=32MB -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  if [ "${BM_PGCLUSTER_DURABLE:-0}" = 1 ]; then settings="-c shared_buffers=128MB"; fi
  as_server_user "$bin/pg_ctl" start -w -t 60 -D "$folder/data" -l "$folder/server.log" \
    -o "-c listen_addresses='' -k $folder -c port=5432 -c max_connections=200 $settings" >/dev/null
  trap - ERR

  local tmp="$state.tmp.$$"
  {
    echo "folder=$folder"
    echo "uri=postgresql:///postgres?host=$folder&user=bm"
    echo "user=$server_user"
    echo "bin=$bin"
  } >"$tmp"
  mv -f -- "$tmp" "$state"
  echo "pgcluster: server running in $folder${server_user:+ as $server_user} ($("$bin/postgres" --version))"
}

# Anything failed while starting: say why, show the logs, leave nothing
# running and nothing behind.
start_failed() {
  local rc=$?
  trap - ERR
  echo "pgcluster: starting the test server failed (exit $rc)" >&2
  local log
  for log in "$folder/initdb.log" "$folder/server.log"; do
    if [ -s "$log" ]; then
      echo "----- $log -----" >&2
      cat "$log" >&2
    fi
  done
  if [ -f "$folder/data/postmaster.pid" ]; then
    as_server_user "$bin/pg_ctl" stop -D "$folder/data" -m immediate -w -t 30 >/dev/null 2>&1 || true
  fi
  cd /
  is_our_folder "$folder" && rm -rf -- "$folder"
  exit 1
}

case "$action" in
  start) start_cluster ;;
  stop) stop_cluster ;;
  *) usage ;;
esac
