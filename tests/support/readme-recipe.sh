#!/usr/bin/env bash
# Runs a recipe of the README exactly as written: the indented block after each
# "<!-- recipe: NAME -->" line. The recipes name fixed places (/tmp/pacs, port 11112, the server
# records.clinic, /etc/postgresql), so each runs in namespaces of its own: a private /tmp, network,
# /etc/hosts and PostgreSQL folders, and the program folder's Settings.ini, Corvida.mdb and Data
# replaced by copies. Nothing of the machine is touched and parallel runs never meet; every
# process started here ends with the namespace.
#
#   readme-recipe.sh README.md BUILD_DIR postgres|pacs
#
# Exit status 77 (skipped) where no namespace can be made (it needs root).
set -euo pipefail
readme=$(realpath "$1") build=$(realpath "$2") recipe=$3

if [ -z "${RECIPE_INSIDE:-}" ]; then
  unshare --mount --net --pid --fork true 2>/dev/null || { echo "skipped: no namespace can be made here (needs root)"; exit 77; }
  exec env RECIPE_INSIDE=1 unshare --mount --net --pid --fork --mount-proc bash "$0" "$@"
fi

# The lines of the block after <!-- recipe: $1 -->, unindented. The README is read before /tmp
# is replaced.
text=$(cat "$readme")
block() {
  awk -v mark="<!-- recipe: $1 -->" '$0 == mark { on = 1; next }
    on && /^    / { print substr($0, 5); next } on { exit }' <<< "$text"
}
# Runs a block as a reader pastes it, stopping at the first failing line; the rest of the arguments
# go to sed (to fill in a placeholder such as <patient>). No terminal: a prompt reads stdin.
run() {
  local name=$1; shift
  local commands; commands=$(block "$name" | sed -e "" "$@")
  [ -n "$commands" ] || { echo "no recipe $name in $readme"; exit 1; }
  echo "--- $name"; echo "$commands"
  setsid -w bash -e -c "$commands"
}
fail() { echo "FAILED: $*"; exit 1; }

ip link set lo up
# The build may itself lie under /tmp: keep it reachable before /tmp is replaced.
mount --bind "$build" /mnt
build=/mnt
mount -t tmpfs tmpfs /tmp
export HOME=/tmp/home
mkdir -p "$HOME" /tmp/work
ln -s "$build" /tmp/work/build
cd /tmp/work
app=$build/Corvida
# The program folder's files a recipe changes, as copies.
cp -r "$app/Settings.ini" "$app/Corvida.mdb" "$app/Data" /tmp/
for f in Settings.ini Corvida.mdb Data; do
  mount --bind "/tmp/$f" "$app/$f"
done

case $recipe in
postgres)
  # A fresh Debian server with the address records.clinic; the station talks to it from the
  # stations' network, so only the recipe's own pg_hba.conf line lets it in.
  ip addr add 192.168.10.5/24 dev lo
  printf '127.0.0.1 localhost %s\n192.168.10.5 records.clinic\n' "$(hostname)" > /tmp/hosts
  mount --bind /tmp/hosts /etc/hosts
  for d in /etc/postgresql /var/lib/postgresql /var/log/postgresql /run/postgresql; do
    mkdir -p "$d" && mount -t tmpfs tmpfs "$d"
  done
  chown postgres:postgres /var/lib/postgresql /var/log/postgresql /run/postgresql
  chmod 2775 /run/postgresql
  pg_createcluster 15 main --start >/dev/null  # what installing the package does

  printf 'secret\nsecret\n' | run postgres-server  # createuser -P asks twice
  run postgres-station
  block postgres-settings >> "$app/Settings.ini"

  [ "$(sudo -u postgres psql -tAc "select rolpassword like 'SCRAM-SHA-256\$%' from pg_authid where rolname = 'corvida'")" = t ] \
    || fail "the password is not kept as SCRAM-SHA-256"
  # A patient stored by one station is on the report another prints.
  psql -h records.clinic -U corvida -d corvida -v ON_ERROR_STOP=1 -qc \
    "insert into Patient values (7, 'Recipe Wang', 50, 170, 70, 1, 0, '', '7007', '2024-01-02 03:04:05', 0)"
  (cd "$app" && ./corvida-report --language English --patient-id 7 --pdf /tmp/r.pdf Data/Demo/NormalSinus72.cv) \
    || fail "corvida-report cannot use the server"
  pdftotext /tmp/r.pdf - | grep -q "Recipe Wang" || fail "the report does not name the server's patient"
  ;;
pacs)
  # A patient with a clinical number, and a record of theirs.
  sqlite3 "$app/Corvida.mdb" \
    "insert into Patient values (1, 'Recipe Wang', 50, 170, 70, 1, 0, '', '7007', '2024-01-02 03:04:05', 0)"
  mkdir "$app/Data/1"
  cp "$app/Data/Demo/NormalSinus72.cv" "$app/Data/1/m202401020304.cv"

  run pacs-server > /tmp/storescp.log 2>&1 &
  for _ in $(seq 100); do
    (echo > /dev/tcp/127.0.0.1/11112) 2>/dev/null && break
    sleep 0.1
  done
  run pacs-send -e 's|Data/<patient>/<record>.cv|Data/1/m202401020304.cv|g' 2>&1 | tee /tmp/send.log
  [ "$(ls /tmp/pacs | wc -l)" = 2 ] || fail "the PACS did not store both objects"
  [ "$(grep -c 'm202401020304.cv: ' /tmp/send.log)" = 2 ] || fail "not one line per object sent"
  ! grep -E '^(Error|Warning)' /tmp/send.log || fail "dciodvfy finds fault with the waveform"
  ;;
*) echo "no recipe \"$recipe\""; exit 2 ;;
esac
