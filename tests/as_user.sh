#!/bin/sh
# Runs a test program as a user who is not root, so that file permissions bind it (root passes
# them all): as root, a copy of the program in a folder of its own, through setpriv as nobody;
# run by such a user already, the program as it is.
# Usage: as_user.sh <program> [arguments...]
[ "$(id -u)" -ne 0 ] && exec "$@"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
chmod 755 "$dir"
program=$(basename "$1")
cp "$1" "$dir/$program"
shift
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp "$dir/$program" "$@"
