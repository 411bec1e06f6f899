#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# cpack -G DEB into a temporary folder: checks the package's control data and contents, unpacks
# it with dpkg-deb -x (nothing is installed into the system) and starts the unpacked program.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
shopt -s nullglob
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, found ${#debs[@]}"
deb=${debs[0]}

# Control data.
dpkg-deb --info "$deb" >"$work/info" || fail "dpkg-deb --info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kalvon ] || fail "package name: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture: $(field Architecture)"
version=$(field Version)
[ "$version" = "$(project_version "$build")" ] || fail "package version $version is not the project's"
[ "$(basename "$deb")" = "kalvon_${version}_$(dpkg --print-architecture).deb" ] || fail "file name $(basename "$deb")"
grep -q "^ Version: $version$" "$work/info" || fail "dpkg-deb --info shows no version"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ -n "$(field Description)" ] || fail "no description"

# Depends: one entry for every package that provides a library the program links against,
# and Qt's platform plugins, which Qt loads at run time. Every entry names a real package.
depends=$(field Depends)
echo "Depends: $depends"
depends_names=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *([^ (]+).*/\1/')
has_dependency() { grep -qx "$1" <<<"$depends_names"; }
package_of() {
    local path=$1 owner
    for candidate in "$path" "/usr$path" "$(realpath "$path")"; do
        owner=$(dpkg -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1) && [ -n "$owner" ] && {
            echo "$owner"
            return 0
        }
    done
    return 1
}

dpkg-deb -x "$deb" "$work/root"
for program in "$work"/root/usr/bin/*; do
    while read -r soname; do
        # A library is listed as "name => path"; the dynamic loader by its path alone.
        path=$(ldd "$program" | awk -v so="$soname" '$1 == so { print $3 } $1 ~ ("/" so "$") { print $1 }')
        [ -n "$path" ] || fail "$soname is not found"
        owner=$(package_of "$path") || fail "no package provides $path"
        has_dependency "$owner" || fail "$soname of $(basename "$program") comes from $owner, which Depends does not list"
    done < <(readelf -d "$program" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p')
done
xcb_owner=$(dpkg -S '*/qt6/plugins/platforms/libqxcb.so' | head -n1 | cut -d: -f1)
has_dependency "$xcb_owner" || fail "the platform plugins ($xcb_owner) are not in Depends"
while read -r name; do
    dpkg-query -W "$name" >/dev/null 2>&1 || fail "Depends names $name, which is no known package"
done <<<"$depends_names"

# Contents: everything below /usr, exactly the installed files.
dpkg-deb --contents "$deb" >"$work/contents" || fail "dpkg-deb --contents"
awk '{ print $6 }' "$work/contents" | grep -v '^\./usr/' | grep -qv '^\./$' && fail "files outside /usr:
$(awk '{ print $6 }' "$work/contents" | grep -v '^\./usr/')"
listed=$(awk '$1 !~ /^d/ { print $6 }' "$work/contents" | sed 's|^\./usr/||' | LC_ALL=C sort)
[ "$listed" = "$(expected_files)" ] || fail "package contents differ:
$(diff <(expected_files) <(echo "$listed"))"

check_installed_tree "$work/root/usr" "$version"

# Debian's own checker, with the info tags shown: any error or warning fails.
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
echo "lintian --fail-on error,warning --display-info: $(grep -v '^running with root privileges' "$work/lintian.log")"
check_starts "$work/root/usr/bin/kalvon"
check_starts "$work/root/usr/bin/kalvon-liste"
echo "package ok: $(basename "$deb")"
