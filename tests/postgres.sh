#!/bin/sh
# A PostgreSQL server of the tests' own: initdb into a folder, listening on a Unix socket in that
# folder only (no TCP port), trust for local connections, superuser role "vantor".
#   postgres.sh start <folder>    make and start it (a folder left by a broken run is replaced)
#   postgres.sh stop <folder>     stop it and remove the folder
#   postgres.sh pause <folder>    stop it, keeping its data; resume starts it again
# The server refuses to run as root: run by root, it runs as the user postgres (or nobody).
set -eu
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "postgres.sh: no PostgreSQL server binaries (install postgresql)" >&2; exit 1; }
as=""
if [ "$(id -u)" -eq 0 ]; then
  user=postgres
  id "$user" >/dev/null 2>&1 || user=nobody
  as="setpriv --reuid=$user --regid=$(id -g "$user") --clear-groups env HOME=$dir"
fi
ctl() { $as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 "$@"; }
case $action in
  start)
    [ -d "$dir" ] && { ctl stop -m immediate >/dev/null 2>&1 || true; rm -rf "$dir"; }
    mkdir -p "$dir"
    [ -n "$as" ] && chown "$user" "$dir"
    $as "$bin/initdb" -D "$dir/data" -U vantor --auth=trust --encoding=UTF8 --no-locale >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    ctl start -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off" >/dev/null
    ;;
  resume) ctl start -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off" >/dev/null ;;
  pause) ctl stop -m immediate >/dev/null ;;
  stop)
    [ -d "$dir" ] || exit 0
    ctl stop -m immediate >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  *) echo "usage: postgres.sh start|stop|pause|resume <folder>" >&2; exit 2 ;;
esac
