#!/bin/sh
# Runs a test program with a Secret Service of its own: a session bus (dbus-run-session) with
# gnome-keyring on it, its keyrings in a new folder (removed afterwards), unlocked with a password
# of the test's, so that no prompt is needed.
# Usage: secret_service.sh <program> [arguments...]
keyrings=$(mktemp -d)
trap 'rm -rf "$keyrings"' EXIT
export XDG_DATA_HOME="$keyrings"
dbus-run-session -- sh -c 'echo -n test | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' sh "$@"
