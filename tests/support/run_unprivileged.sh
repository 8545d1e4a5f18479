#!/bin/sh
# Runs a test program as an unprivileged user when started as root
# (PostgreSQL refuses to run as root), with a temporary home it owns.
set -e
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
user=nobody
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
chown "$user" "$home"
runuser -u "$user" -- env HOME="$home" TMPDIR="$home" XDG_RUNTIME_DIR="$home" "$@"
