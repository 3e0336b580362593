#!/usr/bin/env bash
# test_lodgescript.sh SCRIPT: checks scripts/lodge-server.sh without a server:
# the names and networks it takes, its rewriting of pg_hba.conf, and that
# --dry-run changes nothing. The commands it would run are replaced by stubs
# that write down how they were called.
set -uo pipefail

script="${1:-$(dirname "$0")/../../scripts/lodge-server.sh}"
work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs one function of the script in a subshell of its own.
fn() {
  (
    # shellcheck source=/dev/null
    source "$script"
    "$@"
  )
}

# Stubs for everything that would change the machine or ask the server; they
# only write their name and arguments into calls.log. pg_conftool answers
# "show" with nothing, as for a parameter that is not set.
mkdir "$work/bin"
for cmd in runuser psql pg_ctlcluster systemctl openssl apt-get install chown chmod mv cp pg_conftool; do
  cat >"$work/bin/$cmd" <<EOF
#!/bin/sh
echo "$cmd \$*" >>"$work/calls.log"
EOF
  chmod +x "$work/bin/$cmd"
done
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query" # postgresql not installed yet
printf '#!/bin/sh\nexit 0\n' >"$work/bin/pg_lsclusters"
chmod +x "$work/bin/dpkg-query" "$work/bin/pg_lsclusters"

dry() {
  : >"$work/calls.log"
  PATH="$work/bin:$PATH" bash "$script" --dry-run "$@" </dev/null >"$work/out" 2>&1
}

# ---------------------------------------------------------------------------
# Names: "ok" or "refused", as a database and a guide's login ("both") or as
# a login only (a database's group role, NAME_guides, must fit in 63 too).
long63="a$(printf 'b%.0s' {1..62})"
long56="${long63:0:56}"
while read -r expect as name; do
  if [ "$as" = both ]; then
    dry list --database "$name"
    rc=$?
    [ "$expect" = ok ] && [ "$rc" -ne 0 ] && fail "database '$name' refused: $(cat "$work/out")"
    [ "$expect" = refused ] && [ "$rc" -eq 0 ] && fail "database '$name' taken"
  fi
  dry add-guide "$name"
  rc=$?
  [ "$expect" = ok ] && [ "$rc" -ne 0 ] && fail "login '$name' refused: $(cat "$work/out")"
  [ "$expect" = refused ] && [ "$rc" -eq 0 ] && fail "login '$name' taken"
done <<EOF
ok both lodge
ok both _x9
ok both $long56
ok login $long63
refused both ${long63}c
refused both Lodge
refused both 9lodge
refused both lodge-2
refused both a;drop
refused both a"b
refused both pg_monitor
refused both postgres
refused both all
refused both replication
refused both public
EOF
# A 57-letter database name is fine, but its group role would be too long.
dry list --database "$(printf 'd%.0s' {1..57})" && fail "a database whose group name is over 63 letters taken"
dry add-guide lodge_guides --database lodge && fail "the group itself taken as a guide"

# Networks in CIDR form.
while read -r expect net; do
  fn valid_network "$net"
  rc=$?
  [ "$expect" = ok ] && [ "$rc" -ne 0 ] && fail "network $net refused"
  [ "$expect" = refused ] && [ "$rc" -eq 0 ] && fail "network $net taken"
done <<'EOF'
ok 192.168.1.0/24
ok 10.0.0.0/8
ok 192.168.1.5/32
ok 0.0.0.0/0
ok fd00::/64
ok ::1/128
refused 192.168.1.5/24
refused 256.1.1.0/24
refused 1.2.3.0/33
refused 192.168.1.0
refused ::1/129
refused lodge/24
refused 1.2.3.0/24;reboot
EOF

# Quoting for SQL.
while IFS='|' read -r kind input expected; do
  got="$(fn "$kind" "$input")"
  [ "$got" = "$expected" ] || fail "$kind $input gave $got, not $expected"
done <<'EOF'
q_ident|lodge|"lodge"
q_ident|a"b|"a""b"
q_lit|it's|'it''s'
q_lit|''|''''''
EOF

# ---------------------------------------------------------------------------
# pg_hba.conf: the block goes first, once, and nothing else changes.
cat >"$work/hba" <<'EOF'
# PostgreSQL Client Authentication Configuration File

local   all             postgres                                peer
local   all             all                                     peer
host    all             all             127.0.0.1/32            scram-sha-256

host    all             all             ::1/128                 scram-sha-256
EOF
fn hba_rewrite "$work/hba" lodge lodge_guides 192.168.1.0/24 >"$work/hba1" || fail "hba_rewrite failed"
[ "$(head -n 1 "$work/hba1")" = "$(fn hba_begin lodge)" ] || fail "the block is not first"
grep -qxE 'hostssl +lodge +\+lodge_guides +192\.168\.1\.0/24 +scram-sha-256' "$work/hba1" ||
  fail "no hostssl line for the network: $(cat "$work/hba1")"
grep -qxE 'hostssl +lodge +\+lodge_page +192\.168\.1\.0/24 +scram-sha-256' "$work/hba1" ||
  fail "no hostssl line of the booking page's group: $(cat "$work/hba1")"
# After the block and its blank line comes the administrator's file as it was.
block_lines="$(fn hba_block lodge lodge_guides 192.168.1.0/24 | wc -l)"
tail -n +"$((block_lines + 2))" "$work/hba1" | cmp -s - "$work/hba" || fail "the rest of pg_hba.conf changed"

fn hba_rewrite "$work/hba1" lodge lodge_guides 192.168.1.0/24 >"$work/hba2"
cmp -s "$work/hba1" "$work/hba2" || fail "a second run with the same network changed pg_hba.conf"

# Another network replaces the old one; another database's block stays.
fn hba_rewrite "$work/hba1" trips trips_guides 10.0.0.0/8 >"$work/hba3"
fn hba_rewrite "$work/hba3" lodge lodge_guides 172.16.0.0/12 >"$work/hba4"
[ "$(grep -c '^# lodge-server.sh: begin' "$work/hba4")" = 2 ] || fail "not one block per database: $(cat "$work/hba4")"
grep -q '192\.168\.1\.0/24' "$work/hba4" && fail "the old network stayed"
grep -qE '^hostssl +trips +\+trips_guides +10\.0\.0\.0/8' "$work/hba4" || fail "the other database's block was lost"
grep -qE '^hostssl +lodge +\+lodge_guides +172\.16\.0\.0/12' "$work/hba4" || fail "the new network is missing"
[ "$(tail -n 1 "$work/hba4")" = "$(tail -n 1 "$work/hba")" ] || fail "the end of the file changed"

# A begin marker without its end: refused rather than cutting to the end of the file.
{
  fn hba_begin lodge
  cat "$work/hba"
} >"$work/broken"
fn hba_rewrite "$work/broken" lodge lodge_guides 192.168.1.0/24 >/dev/null 2>&1 && fail "a damaged block was rewritten"

# ---------------------------------------------------------------------------
# --dry-run changes nothing and asks for no password.
declare -a runs=(
  "setup --database lodge --network 192.168.1.0/24 --cluster 15/lodgetest"
  "add-guide ann --database lodge"
  "add-guide ann --role office"
  "set-role ann --role owner"
  "update-rights --owner ann --owner bob"
  "remove-guide ann"
  "list"
)
for args in "${runs[@]}"; do
  # shellcheck disable=SC2086
  dry $args || fail "--dry-run $args failed: $(cat "$work/out")"
  grep -v '^pg_conftool .* show ' "$work/calls.log" | grep -q . && fail "--dry-run $args ran: $(cat "$work/calls.log")"
  grep -q "^would " "$work/out" || fail "--dry-run $args says nothing it would do"
done
dry setup --database lodge --network 192.168.1.0/24
grep -q "would run: apt-get update" "$work/out" || fail "setup does not install a missing postgresql"
grep -q "CREATE DATABASE \"lodge\" OWNER \"lodge_schema\"" "$work/out" || fail "setup makes no database for the tables' owner"
grep -q "REVOKE CONNECT, TEMPORARY ON DATABASE \"lodge\" FROM PUBLIC" "$work/out" || fail "setup leaves the database open to everyone"
dry add-guide ann
grep -qi "password '" "$work/out" && fail "add-guide would send a clear password in SQL"
# The options of the rights: what is refused before anything is done.
while read -r why args; do
  # shellcheck disable=SC2086
  dry $args && fail "$why: '$args' taken"
done <<EOF
no-role set-role ann
bad-role add-guide ann --role boss
bad-role set-role ann --role Owner
no-owner update-rights
bad-owner update-rights --owner Ann
group-owner update-rights --owner lodge_schema
group-login add-guide lodge_owners
group-login set-role lodge_office --role guide
login-given update-rights ann --owner bob
EOF
dry setup --database lodge && fail "setup without --network taken"

# ---------------------------------------------------------------------------
# Without --dry-run only root may run it; it says so before anything else.
as_other=()
if [ "$(id -u)" -ne 0 ]; then
  cp "$script" "$work/copy.sh"
elif id -u nobody >/dev/null 2>&1 && command -v runuser >/dev/null; then
  cp "$script" "$work/copy.sh"
  chmod 755 "$work" "$work/copy.sh"
  as_other=(runuser -u nobody --)
fi
if [ -f "$work/copy.sh" ]; then
  (cd / && "${as_other[@]}" bash "$work/copy.sh" list >"$work/out" 2>&1) &&
    fail "ran as someone else than root without --dry-run"
  grep -q "run it as root" "$work/out" || fail "no word of root: $(cat "$work/out")"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
