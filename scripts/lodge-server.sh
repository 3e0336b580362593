#!/usr/bin/env bash
# lodge-server.sh: sets up the lodge's shared Brindlemoor database on a
# Debian 12 server (PostgreSQL 15) and keeps the list of guides who may use it.
# Run it as root on the server; --dry-run shows what it would do, as anyone.
#
# How the guides share the tables: a NOLOGIN role of its own
# (<database>_schema) owns the database, its public schema and every table;
# nobody logs in as it. Every desk logs in as a role of his own, a member of
# the desks' group (<database>_guides), which may connect. What a desk may
# read and change is its role's: a guide only the bookings the roster names
# him for (and their clients, invoices, trip logs, messages), an office desk
# (member of <database>_office) every booking and the lodge's settings, an
# owner (member of <database>_owners) everything, the roster too. The server
# enforces it with grants and row policies, which the program lays in with
# its tables (its function bm_apply_rights()); an owner's desk may act as
# the tables' owner to lay them in and bring them up to date, through the
# NOINHERIT group <database>_owners. The server knows who is connected:
# session_user is the guide, who is recorded as the one who changed a record.
#
# A lodge set up by an earlier version of this script let every guide act
# as the desks' group, which owned everything: update-rights brings it over.
#
# Nothing here keeps a password: add-guide asks for it twice (not echoed) and
# hands it to psql's \password, which sends the server only the SCRAM verifier
# it computes, so the clear password never reaches the server or its log.
set -euo pipefail

readonly ME="lodge-server.sh"
readonly MARK="# $ME:"
readonly SNAKEOIL=/etc/ssl/certs/ssl-cert-snakeoil.pem

usage() {
  cat <<EOF
usage: $ME [--dry-run] COMMAND [options]

  setup --database NAME --network CIDR [--network CIDR...] [--cluster VER/NAME]
        [--listen ADDRESSES] [--hostname NAME...] [--new-certificate]
      installs PostgreSQL when missing, makes the guides' group role and the
      database, lets the group connect from the networks over TLS, turns on
      TLS with a certificate of this server, reloads or restarts the cluster
  add-guide LOGIN [--role owner|office|guide] [--database NAME] [--cluster VER/NAME]
      makes LOGIN a desk of the lodge with that role (guide when not given;
      an existing desk keeps his role unless one is given) or gives an
      existing one a new password; the password is asked twice on the terminal
  set-role LOGIN --role owner|office|guide [--database NAME] [--cluster VER/NAME]
      gives a desk another role; his sessions end, so that his desk connects
      again with the new role
  update-rights --owner LOGIN [--owner LOGIN...] [--database NAME] [--cluster VER/NAME]
      brings a lodge set up by an earlier version of this script over to the
      rights: the tables go to the owner role, the desks stop acting as the
      group, the logins named become owners and every other desk a guide;
      no record is changed
  add-web LOGIN [--database NAME] [--cluster VER/NAME]
      makes LOGIN the booking page's own login (brindlemoor-web): it may
      connect and call the page's functions, and read no table; the password
      is asked twice on the terminal
  remove-guide LOGIN [--database NAME] [--cluster VER/NAME]
      ends LOGIN's sessions and drops the role
  list [--database NAME] [--cluster VER/NAME]
      the desks, their roles, whether they have a password and how many
      sessions they have

  --database NAME   default "lodge"; the roles are NAME_schema, NAME_guides,
                    NAME_office and NAME_owners
  --cluster VER/NAME  default 15/main
  --dry-run         print the commands and SQL instead of running them
EOF
}

die() {
  echo "$ME: $*" >&2
  exit 1
}

# ----------------------------------------------------------------------------
# Names and quoting

# A name the script will put into SQL and pg_hba.conf: lower-case only, so
# that it means the same quoted and unquoted and in a libpq URI.
valid_identifier() {
  [[ $1 =~ ^[a-z_][a-z0-9_]{0,62}$ ]]
}

# Names PostgreSQL or pg_hba.conf give a meaning of their own.
reserved_name() {
  case "$1" in
    all | sameuser | samerole | samegroup | replication | public | none | postgres | template0 | template1 | \
      current_user | current_role | session_user | pg_*) return 0 ;;
  esac
  return 1
}

# check_name WHAT NAME: stops the script unless NAME is usable.
check_name() {
  valid_identifier "$2" ||
    die "$1 '$2' is not a usable name: lower-case letters, digits and _, starting with a letter or _, at most 63"
  if reserved_name "$2"; then die "$1 '$2' is a name PostgreSQL keeps for itself"; fi
}

# An IPv4 or IPv6 network in CIDR form, as pg_hba.conf takes it. An IPv4
# address with host bits past the prefix is refused: 192.168.1.5/24 is most
# likely a typing slip for 192.168.1.0/24.
valid_network() {
  local net="$1"
  if [[ $net =~ ^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})/([0-9]{1,2})$ ]]; then
    local -a o=("${BASH_REMATCH[@]:1:4}")
    local prefix=$((10#${BASH_REMATCH[5]}))
    local part
    for part in "${o[@]}"; do
      ((10#$part <= 255)) || return 1
    done
    ((prefix <= 32)) || return 1
    local addr=$(((10#${o[0]} << 24) | (10#${o[1]} << 16) | (10#${o[2]} << 8) | 10#${o[3]}))
    local hostmask=$(((1 << (32 - prefix)) - 1))
    ((addr & hostmask)) && return 1
    return 0
  fi
  if [[ $net =~ ^[0-9a-fA-F:]*:[0-9a-fA-F:]*/([0-9]{1,3})$ ]]; then
    ((10#${BASH_REMATCH[1]} <= 128)) || return 1
    return 0
  fi
  return 1
}

# SQL quoting. Every name is checked first, but the quoting does not count on it.
q_ident() {
  local s="${1//\"/\"\"}"
  printf '"%s"' "$s"
}
q_lit() {
  local s="${1//\'/\'\'}"
  printf "'%s'" "$s"
}

# ----------------------------------------------------------------------------
# pg_hba.conf: the script's lines for one database sit in one marked block at
# the top of the file; a rerun replaces that block and touches no other line.

hba_begin() { echo "$MARK begin of database $1 (rewritten by each setup)"; }
hba_end() { echo "$MARK end of database $1"; }

# hba_block DATABASE GROUP NETWORK...: the block for one database.
hba_block() {
  local db="$1" group="$2" net
  shift 2
  hba_begin "$db"
  echo "# The administrator on this machine, as Debian has it."
  printf '%-8s%-16s%-16s%-24s%s\n' local all postgres "" peer
  echo "# The guides: over TLS only, with their passwords, from this machine and the lodge's network."
  for net in 127.0.0.1/32 ::1/128 "$@"; do
    printf '%-8s%-16s%-16s%-24s%s\n' hostssl "$db" "+$group" "$net" scram-sha-256
  done
  echo "# The booking page's service (add-web), likewise."
  for net in 127.0.0.1/32 ::1/128 "$@"; do
    printf '%-8s%-16s%-16s%-24s%s\n' hostssl "$db" "+${db}_page" "$net" scram-sha-256
  done
  hba_end "$db"
}

# hba_rewrite FILE DATABASE GROUP NETWORK...: prints FILE with the database's
# block put first and an earlier block of it left out. A block whose end
# marker is missing stops it: dropping the lines up to the end of the file
# would lose the administrator's own rules.
hba_rewrite() {
  local file="$1" db="$2"
  local begin end begins ends
  begin="$(hba_begin "$db")"
  end="$(hba_end "$db")"
  begins="$(grep -cxF -- "$begin" "$file" || true)"
  ends="$(grep -cxF -- "$end" "$file" || true)"
  if [ "$begins" != "$ends" ] || [ "$begins" -gt 1 ]; then
    echo "$ME: $file: the block of database $db is damaged ($begins begin and $ends end lines); mend it by hand" >&2
    return 1
  fi
  shift
  hba_block "$@"
  echo
  awk -v begin="$begin" -v end="$end" '
    $0 == begin { inside = 1; next }
    $0 == end { inside = 0; after = 1; next }
    inside { next }
    # the blank line written after the block goes with it
    after && $0 == "" { after = 0; next }
    { after = 0; print }
  ' "$file"
}

# ----------------------------------------------------------------------------
# Running things, or with --dry-run only saying what would run

dry_run=0

# run COMMAND...: runs it, or prints it.
run() {
  if [ "$dry_run" = 1 ]; then
    printf 'would run:'
    printf ' %q' "$@"
    printf '\n'
  else
    "$@"
  fi
}

# Settings of root's own PostgreSQL client must not pick another server.
unset PGHOST PGHOSTADDR PGPORT PGUSER PGDATABASE PGSERVICE PGOPTIONS PGPASSWORD PGPASSFILE PGSSLMODE PGDATA

cluster=15/main
cluster_version=15
cluster_name=main

set_cluster() {
  [[ $1 =~ ^([0-9]+)/([A-Za-z0-9_.-]+)$ ]] || die "--cluster wants VERSION/NAME, e.g. 15/main, not '$1'"
  cluster="$1"
  cluster_version="${BASH_REMATCH[1]}"
  cluster_name="${BASH_REMATCH[2]}"
}

config_dir() { echo "/etc/postgresql/$cluster_version/$cluster_name"; }

cluster_exists() { [ -f "$(config_dir)/postgresql.conf" ]; }

cluster_running() {
  pg_lsclusters -h 2>/dev/null | awk -v v="$cluster_version" -v n="$cluster_name" \
    '$1 == v && $2 == n && $4 ~ /^online/ { found = 1 } END { exit !found }'
}

# conf_get PARAMETER: the value in the cluster's postgresql.conf, empty when unset.
conf_get() {
  pg_conftool -s "$cluster_version" "$cluster_name" show "$1" 2>/dev/null || true
}

cluster_port() {
  local port
  port="$(conf_get port)"
  echo "${port:-5432}"
}

# psql as the postgres superuser on the cluster's Unix socket (peer login).
admin_psql() {
  (cd / && runuser -u postgres -- env PGOPTIONS='-c client_min_messages=warning' \
    psql --cluster "$cluster" -X -q -v ON_ERROR_STOP=1 "$@")
}

# query SQL: one value or rows, unaligned, for the script's own checks.
query() {
  admin_psql -At -d postgres -c "$1"
}

# run_sql WHAT: runs the SQL on standard input (psql meta-commands allowed),
# or prints it.
run_sql() {
  local what="$1" sql
  sql="$(cat)"
  if [ "$dry_run" = 1 ]; then
    echo "would run as postgres on cluster $cluster ($what):"
    local line
    while IFS= read -r line; do echo "    $line"; done <<<"$sql"
  else
    echo "$what"
    admin_psql -d postgres <<<"$sql"
  fi
}

# cluster_ctl start|restart|reload: through systemd where it runs the
# clusters, else with Debian's pg_ctlcluster.
cluster_ctl() {
  if [ -d /run/systemd/system ]; then
    run systemctl "$1" "postgresql@$cluster_version-$cluster_name"
  else
    run pg_ctlcluster "$cluster_version" "$cluster_name" "$1"
  fi
}

need_running_cluster() {
  [ "$dry_run" = 1 ] && return 0
  cluster_exists || die "there is no cluster $cluster (see pg_lsclusters)"
  cluster_running || die "cluster $cluster is not running: start it with pg_ctlcluster $cluster_version $cluster_name start"
}

# The group must be there before guides are added, listed or removed.
need_group() {
  [ "$dry_run" = 1 ] && return 0
  local found
  found="$(query "SELECT count(*) FROM pg_roles WHERE rolname = $(q_lit "$group_name") AND NOT rolcanlogin")"
  [ "$found" = 1 ] || die "there is no group role $group_name on cluster $cluster: run '$ME setup --database $database' first"
}

# guide_state LOGIN: "none" (no such role), "guide" (a member of the group,
# no superuser) or "other" (a role the script must not touch). A guide whose
# removal stopped half-way may no longer log in; he is still a guide, so that
# remove-guide can finish and add-guide can let him in again.
guide_state() {
  query "SELECT CASE WHEN r.oid IS NULL THEN 'none'
                     WHEN NOT r.rolsuper AND pg_has_role(r.oid, g.oid, 'MEMBER') THEN 'guide'
                     ELSE 'other' END
           FROM (SELECT oid FROM pg_roles WHERE rolname = $(q_lit "$group_name")) g
           LEFT JOIN pg_roles r ON r.rolname = $(q_lit "$1")"
}

server_name() { hostname -f 2>/dev/null || hostname; }

# ----------------------------------------------------------------------------
# setup

ensure_postgresql() {
  if dpkg-query -W -f='${Status}' postgresql 2>/dev/null | grep -q 'install ok installed'; then
    return 0
  fi
  echo "PostgreSQL is not installed: installing the package postgresql"
  run apt-get update
  run env DEBIAN_FRONTEND=noninteractive apt-get install -y postgresql
}

# sql_roles: the lodge's roles, made where missing. The owners' group
# does not inherit the tables' owner: an owner's desk acts as it only when it
# asks to (SET ROLE), to lay the tables in or bring them up to date.
sql_roles() {
  local r
  for r in "$schema_role" "$group_name" "$office_group" "$owners_group"; do
    echo "SELECT $(q_lit "CREATE ROLE $(q_ident "$r") NOLOGIN") WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = $(q_lit "$r")) \gexec"
  done
  cat <<EOF
ALTER ROLE $(q_ident "$schema_role") NOLOGIN NOINHERIT;
ALTER ROLE $(q_ident "$owners_group") NOLOGIN NOINHERIT;
GRANT $(q_ident "$schema_role") TO $(q_ident "$owners_group");
EOF
}

# sql_apply_rights: connected to the database, the rights the program laid
# in with its tables are given to the roles again (once it has laid them in;
# before that there is nothing to give).
sql_apply_rights() {
  echo "SELECT 'SELECT bm_apply_rights()' WHERE to_regprocedure('public.bm_apply_rights()') IS NOT NULL \gexec"
}

# sql_database: the database of the tables' owner, which only the desks may
# connect to. CREATE DATABASE cannot run inside a transaction or a DO block,
# so the "only when missing" goes through \gexec.
sql_database() {
  local db schema group
  db="$(q_ident "$database")"
  schema="$(q_ident "$schema_role")"
  group="$(q_ident "$group_name")"
  cat <<EOF
SELECT $(q_lit "CREATE DATABASE $db OWNER $schema ENCODING 'UTF8' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C.UTF-8'") WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = $(q_lit "$database")) \gexec
REVOKE CONNECT, TEMPORARY ON DATABASE $db FROM PUBLIC;
GRANT CONNECT, TEMPORARY ON DATABASE $db TO $group;
\connect $db
ALTER SCHEMA public OWNER TO $schema;
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
EOF
  sql_apply_rights
}

setup_database() {
  if [ "$dry_run" = 0 ]; then
    local owner
    owner="$(query "SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname = $(q_lit "$database")")"
    if [ "$owner" = "$group_name" ]; then
      die "database $database was set up by an earlier version of $ME: bring it over with '$ME update-rights --owner LOGIN --database $database'"
    fi
    if [ -n "$owner" ] && [ "$owner" != "$schema_role" ]; then
      die "database $database exists and belongs to $owner, not to $schema_role: choose another name or give it to $schema_role by hand"
    fi
  fi
  { sql_roles && sql_database; } | run_sql "the roles of $database and the database"
}

# The certificate the cluster has, as "CERT KEY", or nothing. Debian's
# snake-oil certificate does not count: it is made for whatever the machine
# was called when the package came, and its key is shared with other services.
current_certificate() {
  local cert key data
  cert="$(conf_get ssl_cert_file)"
  key="$(conf_get ssl_key_file)"
  [ -n "$cert" ] && [ -n "$key" ] || return 0
  data="$(conf_get data_directory)"
  [[ $cert == /* ]] || cert="$data/$cert"
  [[ $key == /* ]] || key="$data/$key"
  [ "$cert" != "$SNAKEOIL" ] && [ -f "$cert" ] && [ -f "$key" ] && echo "$cert $key"
  return 0
}

# The names desks may use for the server: its host names, its addresses,
# localhost and the ones given with --hostname.
certificate_names() {
  local short full addr name
  short="$(hostname)"
  full="$(server_name)"
  local -a san=("DNS:$short")
  [ "$full" = "$short" ] || san+=("DNS:$full")
  san+=("DNS:localhost" "IP:127.0.0.1" "IP:::1")
  for addr in $(hostname -I 2>/dev/null || true); do
    san+=("IP:$addr")
  done
  for name in "${extra_names[@]}"; do
    if [[ $name =~ ^[0-9.]+$ || $name == *:* ]]; then san+=("IP:$name"); else san+=("DNS:$name"); fi
  done
  local IFS=,
  echo "${san[*]}"
}

# Makes a self-signed certificate for ten years in the cluster's folder under
# /etc, the key readable by postgres only.
make_certificate() {
  local cert="$1" key="$2" names
  names="$(certificate_names)"
  echo "making a self-signed certificate $cert for $names"
  if [ "$dry_run" = 1 ]; then
    run openssl req -x509 -newkey rsa:3072 -sha256 -days 3650 -nodes -subj "/CN=$(server_name)" \
      -addext "subjectAltName=$names" -keyout "$key" -out "$cert"
    run chown postgres:postgres "$cert" "$key"
    return 0
  fi
  local tmp
  tmp="$(mktemp -d)"
  # The key is never readable by anyone else, not even for a moment.
  (umask 077 && openssl req -x509 -newkey rsa:3072 -sha256 -days 3650 -nodes -subj "/CN=$(server_name)" \
    -addext "subjectAltName=$names" -keyout "$tmp/key" -out "$tmp/cert" 2>"$tmp/log") || {
    cat "$tmp/log" >&2
    rm -rf -- "$tmp"
    die "openssl could not make the certificate"
  }
  install -o postgres -g postgres -m 0600 "$tmp/key" "$key"
  install -o postgres -g postgres -m 0644 "$tmp/cert" "$cert"
  rm -rf -- "$tmp"
}

setup_tls() {
  local found cert key
  found="$(current_certificate)"
  if [ -n "$found" ] && [ "$new_certificate" = 0 ]; then
    cert="${found% *}"
    key="${found#* }"
    echo "keeping the cluster's certificate $cert"
  else
    cert="$(config_dir)/server.crt"
    key="$(config_dir)/server.key"
    make_certificate "$cert" "$key"
  fi
  certificate="$cert"
  run pg_conftool "$cluster_version" "$cluster_name" set ssl on
  run pg_conftool "$cluster_version" "$cluster_name" set ssl_cert_file "$cert"
  run pg_conftool "$cluster_version" "$cluster_name" set ssl_key_file "$key"
}

# A line of postgresql.conf or pg_hba.conf the server cannot read would stop
# it at the next restart: ask the running server to read the files first.
check_config_files() {
  [ "$dry_run" = 1 ] && return 0
  local errors
  if [ "$1" = settings ]; then
    # A setting taken only at a restart (listen_addresses) shows as an error
    # here until then; that one is no fault of the file.
    errors="$(query "SELECT f.sourcefile || ':' || f.sourceline || ': ' || f.error FROM pg_file_settings f
                      WHERE f.error IS NOT NULL
                        AND NOT EXISTS (SELECT FROM pg_settings s WHERE s.name = f.name AND s.context = 'postmaster')")" ||
      return 1
  else
    errors="$(query "SELECT 'pg_hba.conf:' || line_number || ': ' || error FROM pg_hba_file_rules WHERE error IS NOT NULL")" ||
      return 1
  fi
  if [ -n "$errors" ]; then
    echo "$errors" >&2
    return 1
  fi
}

write_hba() {
  local file
  file="$(conf_get hba_file)"
  file="${file:-$(config_dir)/pg_hba.conf}"
  if [ "$dry_run" = 1 ]; then
    echo "would put these lines first in $file, in place of an earlier block of database $database:"
    hba_block "$database" "$group_name" "${networks[@]}" | sed 's/^/    /'
    return 0
  fi
  local new="$file.$ME.new"
  hba_rewrite "$file" "$database" "$group_name" "${networks[@]}" >"$new" || {
    rm -f -- "$new"
    exit 1
  }
  if cmp -s "$new" "$file"; then
    rm -f -- "$new"
    echo "$file already has the lines of database $database"
    return 0
  fi
  chown --reference="$file" "$new"
  chmod --reference="$file" "$new"
  cp -p -- "$file" "$file.before-$ME"
  mv -f -- "$new" "$file"
  echo "wrote the lines of database $database into $file (the previous file is $file.before-$ME)"
  if ! check_config_files hba; then
    mv -f -- "$file.before-$ME" "$file"
    die "the server cannot read the new $file; the previous file is back"
  fi
}

cmd_setup() {
  [ "${#networks[@]}" -gt 0 ] || die "setup needs --network, the lodge's network (e.g. 192.168.1.0/24)"
  ensure_postgresql
  if [ "$dry_run" = 0 ]; then
    cluster_exists || die "there is no cluster $cluster: make it with pg_createcluster $cluster_version $cluster_name --start"
  fi
  local listen_before=""
  if ! cluster_running; then
    cluster_ctl start
  fi
  [ "$dry_run" = 1 ] || listen_before="$(query "SHOW listen_addresses")"

  setup_database
  setup_tls
  run pg_conftool "$cluster_version" "$cluster_name" set listen_addresses "$listen"
  run pg_conftool "$cluster_version" "$cluster_name" set password_encryption scram-sha-256
  if ! check_config_files settings; then
    die "the server cannot read $(config_dir)/postgresql.conf after the changes above; mend it and run setup again"
  fi
  # TLS on first: until the server runs with it, it calls the hostssl lines
  # of pg_hba.conf an error. A reload leaves the desks connected.
  cluster_ctl reload
  [ "$dry_run" = 1 ] || wait_for_tls
  write_hba
  cluster_ctl reload
  # Where the server listens changes only with a restart.
  if [ "$dry_run" = 1 ]; then
    echo "would restart the cluster if it listened elsewhere before:"
    cluster_ctl restart
  elif [ "$listen_before" != "$listen" ]; then
    cluster_ctl restart
  fi
  if [ "$dry_run" = 0 ]; then
    wait_for_tls
    echo "cluster $cluster: TLS on, listening on $(query "SHOW listen_addresses") port $(cluster_port)"
  fi
  setup_summary
}

# After a reload the server takes the new settings a moment later.
wait_for_tls() {
  local ssl=""
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    ssl="$(query "SHOW ssl")"
    [ "$ssl" = on ] && return 0
    sleep 0.5
  done
  die "the server did not turn TLS on; see /var/log/postgresql/postgresql-$cluster_version-$cluster_name.log"
}

setup_summary() {
  local host port portpart=""
  host="$(server_name)"
  port="$(cluster_port)"
  [ "$port" = 5432 ] || portpart=":$port"
  echo
  if [ "$dry_run" = 1 ]; then echo "After setup:"; else echo "The database $database is ready."; fi
  cat <<EOF
The program lays its tables in on the first desk's connection. Next:
  - add each guide: $ME add-guide LOGIN --database $database${cluster_arg}
  - copy the server's certificate $certificate to each desk as
    ~/.postgresql/root.crt of the guide (mode 0644 is fine: it is no secret)
  - on each desk, Options > Shared Database... with
        postgresql://$host$portpart/$database?user=LOGIN&sslmode=verify-full
    (the host name must be one the certificate names: $(certificate_names | sed 's/DNS://g; s/IP://g; s/,/, /g');
    sslmode=require encrypts without checking the certificate)
EOF
  if [ "$dry_run" = 0 ]; then
    echo "The certificate's SHA-256 fingerprint, to compare on a desk:"
    openssl x509 -noout -fingerprint -sha256 -in "$certificate" | sed 's/^[^=]*=/    /'
  fi
}

# ----------------------------------------------------------------------------
# Guides

# read_password LOGIN: asks for the password twice (on the terminal, not
# echoed; from standard input when that is no terminal) and sets "password".
read_password() {
  local again
  IFS= read -r -s -p "New password for $1: " password || die "no password given"
  [ -t 0 ] && echo >&2
  IFS= read -r -s -p "The same again: " again || die "the password was not given twice"
  [ -t 0 ] && echo >&2
  [ "$password" = "$again" ] || die "the two passwords differ; nothing was changed"
  [ "${#password}" -ge 8 ] || die "a password needs at least 8 characters; nothing was changed"
}

# set_password LOGIN: psql's \password computes the SCRAM verifier on this
# side and sends only that. Without a controlling terminal (setsid) psql asks
# on its standard input, which is the pipe from here: the password is never
# in a command line, a file or the server's log.
set_password() {
  local out
  if out="$(printf '%s\n%s\n' "$password" "$password" |
    (cd / && setsid -w runuser -u postgres -- psql --cluster "$cluster" -X -q -d postgres \
      -c "\\password $(q_ident "$1")") 2>&1)"; then
    return 0
  fi
  # psql's own prompts are not news; what follows them is.
  out="$(sed -e 's/Enter new password for user "[^"]*": //' -e 's/Enter it again: //' <<<"$out")"
  die "setting the password of $1 failed: $out"
}

# The lodge's roles, named after its database.
set_names() {
  group_name="${database}_guides"
  schema_role="${database}_schema"
  office_group="${database}_office"
  owners_group="${database}_owners"
  page_group="${database}_page"
}

# not_a_group NAME: stops the script when NAME is one of the lodge's roles
# that nobody logs in as.
not_a_group() {
  case "$1" in
    "$group_name" | "$schema_role" | "$office_group" | "$owners_group" | "$page_group")
      die "$1 is one of the roles of $database nobody logs in as, not a desk's login"
      ;;
  esac
}

# A lodge of this version has the tables' owner and the three groups; one
# set up by an earlier version only the desks' group.
need_rights() {
  [ "$dry_run" = 1 ] && return 0
  local found
  found="$(query "SELECT count(*) FROM pg_roles WHERE rolname IN ($(q_lit "$schema_role"), $(q_lit "$office_group"), $(q_lit "$owners_group")) AND NOT rolcanlogin")"
  [ "$found" = 3 ] ||
    die "$database has no rights of owner, office and guide yet: bring it over with '$ME update-rights --owner LOGIN --database $database' first"
}

valid_role() {
  case "$1" in
    owner | office | guide) return 0 ;;
  esac
  return 1
}

# sql_set_role LOGIN ROLE: takes the login out of the office's and the
# owners' groups and puts him into the one of his role (a guide is in the
# desks' group alone).
sql_set_role() {
  local login="$1" role="$2"
  cat <<EOF
SELECT format('REVOKE %I FROM %I', g.rolname, u.rolname) FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid JOIN pg_roles u ON u.oid = m.member WHERE u.rolname = $(q_lit "$login") AND g.rolname IN ($(q_lit "$office_group"), $(q_lit "$owners_group")) \gexec
EOF
  case "$role" in
    office) echo "GRANT $(q_ident "$office_group") TO $(q_ident "$login");" ;;
    owner) echo "GRANT $(q_ident "$owners_group") TO $(q_ident "$login");" ;;
  esac
}

# sql_add_login LOGIN [ROLE]: the desk's login, a member of the desks'
# group; with a role, that role. An earlier version of this script had his
# sessions act as the group in the lodge's database: that setting goes.
sql_add_login() {
  local login="$1" role="${2:-}"
  cat <<EOF
SELECT $(q_lit "CREATE ROLE $(q_ident "$login") LOGIN INHERIT") WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = $(q_lit "$login")) \gexec
ALTER ROLE $(q_ident "$login") LOGIN INHERIT NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS;
GRANT $(q_ident "$group_name") TO $(q_ident "$login");
ALTER ROLE $(q_ident "$login") IN DATABASE $(q_ident "$database") RESET role;
EOF
  [ -z "$role" ] || sql_set_role "$login" "$role"
}

# sql_end_sessions LOGIN: his desk connects again, with what he may now do.
sql_end_sessions() {
  cat <<EOF
SELECT count(pg_terminate_backend(pid)) AS ended FROM pg_stat_activity WHERE usename = $(q_lit "$1") \gset
\echo ended :ended session(s) of $1
EOF
}

# sql_update_rights OWNER...: a lodge of an earlier version, where the
# desks' group owned everything and every desk acted as it: the tables go to
# the tables' owner, no desk acts as the group any more, the logins named
# become owners (every other desk a guide until set-role says otherwise),
# the program's rights are given, and every session of the database ends so
# that each desk connects again under them. Ownership and settings change;
# no record does.
sql_update_rights() {
  local db schema owner
  db="$(q_ident "$database")"
  schema="$(q_ident "$schema_role")"
  sql_roles
  cat <<EOF
\connect $db
BEGIN;
REASSIGN OWNED BY $(q_ident "$group_name") TO $schema;
ALTER DATABASE $db OWNER TO $schema;
ALTER SCHEMA public OWNER TO $schema;
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
-- What the group had as the owner went to the new owner with the rest.
GRANT CONNECT, TEMPORARY ON DATABASE $db TO $(q_ident "$group_name");
SELECT format('ALTER ROLE %I IN DATABASE %I RESET role', r.rolname, current_database()) FROM pg_db_role_setting s JOIN pg_roles r ON r.oid = s.setrole WHERE s.setdatabase = (SELECT oid FROM pg_database WHERE datname = current_database()) AND EXISTS (SELECT FROM unnest(s.setconfig) c WHERE c LIKE 'role=%') \gexec
EOF
  for owner in "$@"; do
    sql_set_role "$owner" owner
  done
  sql_apply_rights
  cat <<EOF
COMMIT;
SELECT count(pg_terminate_backend(pid)) AS ended FROM pg_stat_activity WHERE datname = current_database() AND pid <> pg_backend_pid() \gset
\echo ended :ended session(s) of $database
EOF
}

cmd_add_guide() {
  local login="$1" state=none
  check_name "login" "$login"
  not_a_group "$login"
  need_running_cluster
  need_group
  need_rights
  if [ "$dry_run" = 0 ]; then
    state="$(guide_state "$login")"
    [ "$state" != other ] || die "a role $login exists and is not a guide of $database; it is left as it is"
  fi
  # A new desk is a guide unless told; an existing one keeps his role.
  local given="$desk_role"
  [ -n "$given" ] || [ "$state" = guide ] || given=guide
  if [ "$dry_run" = 1 ]; then
    echo "would ask for ${login}'s password twice"
  else
    read_password "$login"
  fi
  sql_add_login "$login" "$given" | run_sql "the desk $login"
  if [ "$dry_run" = 1 ]; then
    echo "would set the password with: psql --cluster $cluster -c '\\password $(q_ident "$login")' (as postgres, the password on its standard input)"
  else
    set_password "$login"
    if [ "$state" = guide ]; then echo "$login has a new password"; else echo "$login is a desk of $database ($given)"; fi
  fi
  local port
  port="$(cluster_port)"
  cat <<EOF

On ${login}'s desk:
  - ~/.pgpass (mode 0600: chmod 600 ~/.pgpass), one line:
        $(server_name):$port:$database:$login:PASSWORD
  - Options > Shared Database..., user $login
  - Options > Guides...: the Login of his roster entry is $login (a guide
    sees the bookings of that roster entry)
EOF
}

cmd_set_role() {
  local login="$1"
  check_name "login" "$login"
  not_a_group "$login"
  [ -n "$desk_role" ] || die "set-role needs --role owner, office or guide"
  need_running_cluster
  need_group
  need_rights
  if [ "$dry_run" = 0 ]; then
    case "$(guide_state "$login")" in
      none) die "there is no desk $login" ;;
      other) die "$login is not a desk of $database; it is left as it is" ;;
    esac
  fi
  { sql_set_role "$login" "$desk_role" && sql_end_sessions "$login"; } | run_sql "the role of $login"
  [ "$dry_run" = 1 ] || echo "$login is now $desk_role of $database"
}

cmd_update_rights() {
  [ "${#owners[@]}" -gt 0 ] || die "update-rights needs --owner LOGIN: the lodge's owner, who keeps every right"
  need_running_cluster
  need_group
  local owner
  for owner in "${owners[@]}"; do
    check_name "login" "$owner"
    not_a_group "$owner"
    if [ "$dry_run" = 0 ]; then
      [ "$(guide_state "$owner")" = guide ] || die "$owner is not a desk of $database"
    fi
  done
  if [ "$dry_run" = 0 ]; then
    local dba
    dba="$(query "SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname = $(q_lit "$database")")"
    [ -n "$dba" ] || die "there is no database $database"
    [ "$dba" = "$group_name" ] || [ "$dba" = "$schema_role" ] ||
      die "database $database belongs to $dba, not to $group_name: it is left as it is"
  fi
  sql_update_rights "${owners[@]}" | run_sql "bringing $database over to owner, office and guide"
  [ "$dry_run" = 1 ] || cat <<EOF
$database: the tables belong to $schema_role; ${owners[*]} may do everything, every other desk is a guide.
Give the office its role with: $ME set-role LOGIN --role office --database $database${cluster_arg}
A desk of a guide sees the bookings of the roster entry whose Login is his: check Options > Guides...
If the program had not laid in its rights yet, the owner's desk does so when it next starts.
EOF
}

# The booking page's login is no guide: a member of the page's own group
# (<database>_page), which may connect and nothing more. The page's functions
# are the only way it reaches the lodge's records; each runs with the
# rights of the tables' owner and hands back only what the page shows.
cmd_add_web() {
  local login="$1" state=none
  check_name "login" "$login"
  not_a_group "$login"
  need_running_cluster
  need_group
  if [ "$dry_run" = 0 ]; then
    state="$(guide_state "$login")"
    [ "$state" != guide ] || die "$login is a guide; the booking page needs a login of its own"
    if [ "$state" = other ]; then
      local member
      member="$(query "SELECT pg_has_role(r.oid, p.oid, 'MEMBER') AND NOT r.rolsuper FROM pg_roles r, pg_roles p
                        WHERE r.rolname = $(q_lit "$login") AND p.rolname = $(q_lit "$page_group")")"
      [ "$member" = t ] || die "a role $login exists and is not the booking page's; it is left as it is"
    fi
    read_password "$login"
  else
    echo "would ask for ${login}'s password twice"
  fi
  local role pages db
  role="$(q_ident "$login")"
  pages="$(q_ident "$page_group")"
  db="$(q_ident "$database")"
  run_sql "the booking page's login $login" <<EOF
SELECT $(q_lit "CREATE ROLE $pages NOLOGIN") WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = $(q_lit "$page_group")) \gexec
SELECT $(q_lit "CREATE ROLE $role LOGIN") WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = $(q_lit "$login")) \gexec
ALTER ROLE $role LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS INHERIT CONNECTION LIMIT 64;
GRANT $pages TO $role;
GRANT CONNECT ON DATABASE $db TO $pages;
\connect $db
REVOKE ALL ON ALL TABLES IN SCHEMA public FROM $pages, $role;
REVOKE CREATE ON SCHEMA public FROM $pages, $role;
$(sql_apply_rights)
EOF
  if [ "$dry_run" = 1 ]; then
    echo "would set the password with: psql --cluster $cluster -c '\\password $role' (as postgres, the password on its standard input)"
  else
    set_password "$login"
    echo "$login is the booking page's login of $database"
  fi
  local port
  port="$(cluster_port)"
  cat <<EOF

On the machine of the booking page (as root):
  - /etc/brindlemoor/web.pgpass (mode 0600, owner root), one line:
        $(server_name):$port:$database:$login:PASSWORD
  - /etc/brindlemoor/web.conf (mode 0600, owner root):
        [database]
        uri=postgresql://$(server_name):$port/$database?user=$login&sslmode=verify-full&passfile=/run/credentials/brindlemoor-web.service/web.pgpass
  - pg_hba.conf lets the page's group in from this machine and the lodge's
    network once setup has run with this version of $ME.
EOF
}

cmd_remove_guide() {
  local login="$1"
  check_name "login" "$login"
  not_a_group "$login"
  need_running_cluster
  need_group
  if [ "$dry_run" = 0 ]; then
    local state
    state="$(guide_state "$login")"
    case "$state" in
      none) die "there is no guide $login" ;;
      other) die "$login is not a guide of $database; it is left as it is" ;;
    esac
  fi
  local role heir="$group_name" db
  role="$(q_ident "$login")"
  db="$(q_ident "$database")"
  if [ "$dry_run" = 1 ] || [ "$(query "SELECT count(*) FROM pg_roles WHERE rolname = $(q_lit "$schema_role")")" = 1 ]; then
    heir="$schema_role"
  fi
  # NOLOGIN first, so that a desk cannot connect again between the end of
  # its sessions and the drop. Whatever he made himself goes to the tables'
  # owner (the group, in a lodge of an earlier version), so no table of the
  # lodge is lost with him.
  run_sql "removing the guide $login" <<EOF
ALTER ROLE $role NOLOGIN;
SELECT count(pg_terminate_backend(pid)) AS ended FROM pg_stat_activity WHERE usename = $(q_lit "$login") \gset
\echo ended :ended session(s) of $login
\connect $db
REASSIGN OWNED BY $role TO $(q_ident "$heir");
DROP OWNED BY $role;
DROP ROLE $role;
EOF
  [ "$dry_run" = 1 ] || echo "$login is no longer a guide; take his line out of the guides' roster in Options > Guides... if he has left"
}

cmd_list() {
  need_running_cluster
  need_group
  local sql
  sql="SELECT r.rolname AS login,
       CASE WHEN pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = $(q_lit "$group_name")), 'USAGE')
             AND EXISTS (SELECT FROM pg_database d WHERE d.datname = $(q_lit "$database") AND d.datdba = (SELECT oid FROM pg_roles WHERE rolname = $(q_lit "$group_name")))
            THEN 'owner (earlier version: update-rights)'
            WHEN pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = $(q_lit "$owners_group")), 'MEMBER') THEN 'owner'
            WHEN pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = $(q_lit "$office_group")), 'MEMBER') THEN 'office'
            ELSE 'guide' END AS role,
       CASE WHEN r.rolcanlogin THEN 'yes' ELSE 'no' END AS \"may log in\",
       CASE WHEN a.rolpassword IS NULL THEN 'no' ELSE 'yes' END AS \"has a password\",
       (SELECT count(*) FROM pg_stat_activity s WHERE s.usename = r.rolname) AS \"sessions now\"
  FROM pg_roles r
  JOIN pg_authid a ON a.oid = r.oid
 WHERE pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = $(q_lit "$group_name")), 'MEMBER')
   AND r.rolname <> $(q_lit "$group_name") AND NOT r.rolsuper
 ORDER BY 1"
  if [ "$dry_run" = 1 ]; then
    run_sql "the guides of $database" <<<"$sql;"
    return 0
  fi
  local rows
  rows="$(query "SELECT count(*) FROM ($sql) g")"
  if [ "$rows" = 0 ]; then
    echo "$database has no guides yet (add one with: $ME add-guide LOGIN --database $database${cluster_arg})"
  else
    admin_psql -d postgres -P footer=off -c "$sql"
  fi
}

# ----------------------------------------------------------------------------

main() {
  local command="" login=""
  database=lodge
  networks=()
  extra_names=()
  listen='*'
  new_certificate=0
  cluster_arg=""
  desk_role=""
  owners=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --dry-run) dry_run=1 ;;
      --database | --network | --cluster | --listen | --hostname | --role | --owner)
        [ $# -ge 2 ] || die "$1 needs a value"
        case "$1" in
          --database) database="$2" ;;
          --role)
            valid_role "$2" || die "--role is owner, office or guide, not '$2'"
            desk_role="$2"
            ;;
          --owner) owners+=("$2") ;;
          --network) networks+=("$2") ;;
          --cluster)
            set_cluster "$2"
            cluster_arg=" --cluster $2"
            ;;
          --listen) listen="$2" ;;
          --hostname) extra_names+=("$2") ;;
        esac
        shift
        ;;
      --new-certificate) new_certificate=1 ;;
      -h | --help)
        usage
        return 0
        ;;
      -*) die "unknown option $1 (see $ME --help)" ;;
      *)
        if [ -z "$command" ]; then
          command="$1"
        elif [ -z "$login" ]; then
          login="$1"
        else
          die "one login at a time, not '$1' too"
        fi
        ;;
    esac
    shift
  done

  check_name "database" "$database"
  set_names
  [ "${#group_name}" -le 63 ] || die "the database name is too long for its group role ${group_name}"
  local net
  for net in "${networks[@]}"; do
    valid_network "$net" || die "'$net' is not a network in CIDR form, e.g. 192.168.1.0/24"
  done
  local name
  for name in "${extra_names[@]}"; do
    [[ $name =~ ^[A-Za-z0-9.:-]+$ ]] || die "'$name' is not a host name or address"
  done
  [[ $listen =~ ^[A-Za-z0-9.:*,\ -]+$ ]] || die "'$listen' is not a list of addresses to listen on"

  case "$command" in
    setup | list | update-rights) [ -z "$login" ] || die "$command takes no login" ;;
    add-guide | remove-guide | set-role) [ -n "$login" ] || die "$command needs the guide's login" ;;
    add-web) [ -n "$login" ] || die "add-web needs the booking page's login" ;;
    "")
      usage >&2
      exit 2
      ;;
    *) die "unknown command $command (see $ME --help)" ;;
  esac

  if [ "$dry_run" = 0 ] && [ "$(id -u)" -ne 0 ]; then
    die "run it as root (or with --dry-run to see what it would do)"
  fi
  [ "$dry_run" = 0 ] || echo "dry run: nothing is changed"

  case "$command" in
    setup) cmd_setup ;;
    add-guide) cmd_add_guide "$login" ;;
    set-role) cmd_set_role "$login" ;;
    update-rights) cmd_update_rights ;;
    add-web) cmd_add_web "$login" ;;
    remove-guide) cmd_remove_guide "$login" ;;
    list) cmd_list ;;
  esac
}

# The tests read the functions without running anything.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
