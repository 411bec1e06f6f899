# SPDX-License-Identifier: GPL-3.0-or-later
# Shared checks of an installed Kalvon tree; sourced by the install and package tests.

app_id=org.example.kalvon
liste_id=org.example.kalvon.liste

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The files an installation holds, relative to its prefix, sorted.
expected_files() {
    local id size
    {
        printf '%s\n' \
            bin/kalvon \
            bin/kalvon-abgleich \
            bin/kalvon-find \
            bin/kalvon-liste \
            share/doc/kalvon/changelog.gz \
            share/doc/kalvon/copyright \
            share/man/man1/kalvon.1.gz \
            share/man/man1/kalvon-abgleich.1.gz \
            share/man/man1/kalvon-find.1.gz \
            share/man/man1/kalvon-liste.1.gz \
            "share/metainfo/$app_id.metainfo.xml"
        for id in "$app_id" "$liste_id"; do
            echo "share/applications/$id.desktop"
            for size in 16 32 48 256; do
                echo "share/icons/hicolor/${size}x${size}/apps/$id.png"
            done
            echo "share/icons/hicolor/scalable/apps/$id.svg"
        done
    } | LC_ALL=C sort
}

# The project version of build folder $1, the one source of every version shown.
project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# The value of key $2 in the [Desktop Entry] group of desktop file $1.
desktop_value() {
    awk -F= -v key="$2" '/^\[/ { group = $0 } group == "[Desktop Entry]" && $1 == key { sub(/^[^=]*=/, ""); print; exit }' "$1"
}

# Checks the installed tree under prefix $1 (the folder holding bin/ and share/) of version $2.
check_installed_tree() {
    local prefix=$1 version=$2
    local actual
    actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
    [ "$actual" = "$(expected_files)" ] || fail "installed files differ:
$(diff <(expected_files) <(echo "$actual"))"

    [ -x "$prefix/bin/kalvon" ] || fail "bin/kalvon is not executable"
    local found
    found=$(printf '3\n4\n' | "$prefix/bin/kalvon-find" --locale de_DE --target 7 --json) ||
        fail "installed kalvon-find did not find 3 + 4 = 7"
    [ "$found" = "$(printf '{"amounts": 2, "total": 1, "total_at_least": false, "hits": [\n  {"items": [1, 2], "sum": "7.0000", "difference": "0.0000"}\n], "method": "every-subset"}')" ] ||
        fail "installed kalvon-find printed: $found"

    check_abgleich "$prefix/bin/kalvon-abgleich" "$version"

    local id size description
    for id in "$app_id" "$liste_id"; do
        for size in 16 32 48 256; do
            description=$(file -b "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
            case "$description" in
            "PNG image data, $size x $size,"*) ;;
            *) fail "icon $id ${size}x${size} is: $description" ;;
            esac
        done
        description=$(file -b "$prefix/share/icons/hicolor/scalable/apps/$id.svg")
        case "$description" in
        SVG*) ;;
        *) fail "scalable icon $id is: $description" ;;
        esac
    done

    check_desktop_entry "$prefix" "$app_id" Kalvon "Findet die Beträge, die zusammen eine gesuchte Summe ergeben"
    check_desktop_entry "$prefix" "$liste_id" "Kalvon Liste" \
        "Findet in langen Listen die Posten, die zusammen eine gesuchte Summe ergeben"
    local desktop="$prefix/share/applications/$liste_id.desktop" type
    for type in text/csv application/vnd.openxmlformats-officedocument.spreadsheetml.sheet \
        application/vnd.oasis.opendocument.spreadsheet; do
        tr ';' '\n' <<<"$(desktop_value "$desktop" MimeType)" | grep -qx "$type" ||
            fail "Kalvon Liste's desktop entry does not open $type"
    done
    [[ $(desktop_value "$desktop" Exec) == "kalvon-liste %f" ]] || fail "Kalvon Liste's desktop entry passes no file"
    local output

    local metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
    output=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || fail "appstreamcli validate: $output"
    ! grep -qE '^[EW]:' <<<"$output" || fail "appstreamcli validate reports: $output"
    grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch the installed desktop entry"
    grep -q '<url type="homepage">https://kalvon.example.org</url>' "$metainfo" || fail "metainfo homepage"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

    # Every program has a manual page that man renders without a warning, with the version in its footer.
    local program page
    for program in "$prefix"/bin/*; do
        page="$prefix/share/man/man1/$(basename "$program").1.gz"
        output=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l $page: $output"
        [ -z "$output" ] || fail "man -l $page warns: $output"
        output=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page")
        lexgrog "$page" | grep -qF ": \"$(basename "$program") - " || fail "$page: no NAME line for $(basename "$program")"
        grep -q "^Kalvon $version " <<<"$output" || fail "$page shows another version"
    done
    [ "$(zcat "$prefix/share/doc/kalvon/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ] ||
        fail "the changelog's newest entry is not version $version"
    check_command_line "$prefix/bin/kalvon" "$version" stray
    check_command_line "$prefix/bin/kalvon-liste" "$version" "one.csv two.csv"
}

# The installed kalvon-abgleich $1 of version $2: help and version without a display, a wrong call,
# and the example statement against its open items, with a workbook written beside.
check_abgleich() {
    local program=$1 version=$2 data work
    data=$(cd "$(dirname "${BASH_SOURCE[0]}")/../abgleich/data" && pwd)
    without_display "$program" --help
    [ "$status" = 0 ] && [ -z "$err" ] && [[ $out == "Aufruf: kalvon-abgleich [OPTIONEN] KONTOAUSZUG OFFENE-POSTEN"* ]] ||
        fail "kalvon-abgleich --help: status $status, output: $out, errors: $err"
    without_display "$program" --version
    [ "$status:$out:$err" = "0:kalvon-abgleich $version:" ] || fail "kalvon-abgleich --version: $status, $out, $err"
    without_display "$program" --bogus a b
    [ "$status" = 2 ] && [ -z "$out" ] && grep -q "bogus" <<<"$err" || fail "kalvon-abgleich --bogus: $status, $err"
    work=$(mktemp -d)
    status=0
    out=$(cd "$work" && "$program" --locale de_DE --json --xlsx abgleich.xlsx "$data/kontoauszug.xml" \
        "$data/offene_posten.xlsx" 2>&1) || status=$?
    local summary
    summary=$(sed -n 's/^"summary": //p' <<<"$out")
    [ "$status" = 0 ] && [ "$summary" = '{"payments": 13, "matched": 7, "skonto": 2, "partial": 1, "ambiguous": 1, "unmatched": 1, "left_out": 3, "open_items": 15, "open_items_left": 7}}' ] ||
        { rm -rf "$work"; fail "installed kalvon-abgleich: status $status, output: $out"; }
    [ "$(file -b "$work/abgleich.xlsx")" = "Microsoft Excel 2007+" ] ||
        { rm -rf "$work"; fail "installed kalvon-abgleich wrote no workbook: $(file -b "$work/abgleich.xlsx")"; }
    rm -rf "$work"
}

# Checks the desktop entry of id $2 under prefix $1: it validates, has the name $3 and the
# German comment $4, the Kalvon categories and the installed icon, and starts an installed program.
check_desktop_entry() {
    local prefix=$1 id=$2 name=$3 comment=$4
    local desktop="$prefix/share/applications/$id.desktop" output
    output=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $output"
    [ -z "$output" ] || fail "desktop-file-validate reports: $output"
    [ "$(desktop_value "$desktop" Type)" = Application ] || fail "$id: desktop entry is not an application"
    [ "$(desktop_value "$desktop" Name)" = "$name" ] || fail "$id: desktop entry name"
    [ "$(desktop_value "$desktop" Comment)" = "$comment" ] ||
        fail "$id: desktop entry comment: $(desktop_value "$desktop" Comment)"
    [ "$(desktop_value "$desktop" Categories)" = "Office;Finance;" ] || fail "$id: desktop entry categories"
    [ "$(desktop_value "$desktop" Icon)" = "$id" ] || fail "$id: desktop entry icon is not the installed one"
    [ -x "$prefix/bin/$(desktop_value "$desktop" Exec | awk '{ print $1 }')" ] ||
        fail "$id: desktop entry does not start the installed program"
}

# Runs program $1 with the arguments that follow, with no display and the X11 platform, which
# cannot start without one; sets status, out and err.
without_display() {
    local program=$1 errors
    shift
    errors=$(mktemp)
    status=0
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$program" "$@" 2>"$errors") || status=$?
    err=$(cat "$errors")
    rm -f "$errors"
}

# Program $1 of version $2: --help and --version print and end without a display; a wrong call
# (an unknown option, or the arguments $3) ends with status 2, names the wrong word and prints
# the help on standard error.
check_command_line() {
    local program=$1 version=$2 wrong=$3 name call word
    name=$(basename "$program")
    for call in --help -h; do
        without_display "$program" "$call"
        [ "$status" = 0 ] && [ -z "$err" ] && [[ $out == "Aufruf: $name [Optionen]"* ]] ||
            fail "$name $call: status $status, output: $out, errors: $err"
    done
    without_display "$program" --version
    [ "$status:$out:$err" = "0:$name $version:" ] || fail "$name --version: status $status, output: $out, errors: $err"
    for call in --bogus "$wrong"; do
        word=${call##* } # the last argument is the one named
        # shellcheck disable=SC2086 # the wrong call's arguments are words
        without_display "$program" $call
        [ "$status" = 2 ] && [ -z "$out" ] && grep -q "„${word#--}“" <<<"$err" && grep -q "^Aufruf: $name" <<<"$err" ||
            fail "$name $call: status $status, output: $out, errors: $err"
    done
}

# Starts program $1 offscreen, once as the platform chosen by the environment and once by Qt's own
# options on the command line; it must still run after one second.
check_starts() {
    local status=0
    QT_QPA_PLATFORM=offscreen timeout 1 "$1" || status=$?
    [ "$status" -eq 124 ] || fail "$1 ended with status $status within one second"
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 1 "$1" -platform offscreen -style Fusion -reverse \
        -qwindowgeometry 640x480+0+0 || status=$?
    [ "$status" -eq 124 ] || fail "$1 with Qt's options ended with status $status within one second"
}
