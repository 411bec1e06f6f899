#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# cmake --install into a temporary prefix: the program, its desktop entry, icons and metainfo
# (and Kalvon Liste's) land in their standard places, pass the Debian validators, and the program starts.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"
while read -r path; do
    case "$path" in
    "$prefix"/*) ;;
    *) fail "installed outside the prefix: $path" ;;
    esac
done <"$build/install_manifest.txt"

check_installed_tree "$prefix" "$(project_version "$build")"
check_starts "$prefix/bin/kalvon"
check_starts "$prefix/bin/kalvon-liste"
echo "install layout ok"
