#!/bin/sh
# The installed software centre entries (AppStream metainfo): valid to
# appstreamcli with the desktop entries they name; and what it does not
# check: a software centre of an ordinary user lists each under
# "oscilloscope" with its desktop entry's icon; each desktop entry of the
# package has exactly one; the programs each names are on the PATH, the one
# its entry starts among them; its release is the package's version, its
# home the package's, and its screenshots are docs/ pictures under that home.
# Usage: metainfo.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package metainfo"
. "$(dirname "$0")/package-lib.sh"
require appstreamcli /usr/bin/identify
needs_package
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
grep '^/usr/share/metainfo/.' "$STATE/contents" >"$WORK/metainfo" || fail "the package has no metainfo files"

# Validated in a tree of the package's own files, where the other packages'
# metainfo on this machine has no say.
for path in $(cat "$WORK/metainfo") $(grep "^$APPLICATIONS/.*\.desktop$" "$STATE/contents"); do
    mkdir -p "$WORK/tree$(dirname "$path")" && cp "$path" "$WORK/tree$path" || fail "$path is not installed"
done
appstreamcli validate-tree --no-net --no-color "$WORK/tree" >"$WORK/validate.log" 2>&1 &&
    ! grep -q '^ *[A-Z]: ' "$WORK/validate.log" || { cat "$WORK/validate.log"; fail "appstreamcli has remarks"; }

# The user's software centre: appstreamcli reads the installed metainfo with
# the desktop entries into a fresh cache of the user's own.
user_folders
as_user search / appstreamcli search oscilloscope
wait "$LAST" || fail "appstreamcli search failed"

version=$(dpkg-query -W -f='${Version}' korvane)
homepage=$(dpkg-query -W -f='${Homepage}' korvane)
[ -n "$homepage" ] || fail "the package names no Homepage"
tag() { sed -n "s|.*<$2\( [^>]*\)\{0,1\}>\([^<]*\)</$2>.*|\2|p" "$1"; }
for file in $(cat "$WORK/metainfo"); do
    id=$(tag "$file" id)
    entry=$(tag "$file" launchable)
    echo "$entry" >>"$WORK/launched"
    icon=$(sed -n 's/^Icon=//p' "$APPLICATIONS/$entry")
    awk -v id="$id" '/^Identifier: / { listed = ($2 == id) } listed' "$WORK/search.log" | grep -qx "Icon: $icon" ||
        fail "a software centre does not list $id under 'oscilloscope' with the icon $icon of $entry"

    binaries=$(tag "$file" binary)
    for binary in $binaries; do
        grep -qx "/usr/bin/$binary" "$STATE/contents" || fail "$id names $binary, which the package does not put on the PATH"
    done
    started=$(sed -n 's/^Exec=.* \([^ ]*\)$/\1/p' "$APPLICATIONS/$entry")
    echo "$binaries" | grep -qx "$started" || fail "$entry starts $started, which $id does not name"
    released=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$file")
    [ "$released" = "$version" ] || fail "$id lists the release '$released', the package is $version"
    [ "$(tag "$file" url)" = "$homepage" ] || fail "$id names the home $(tag "$file" url), the package $homepage"

    urls=$(tag "$file" image)
    [ -n "$urls" ] || fail "$id has no screenshot"
    for url in $urls; do
        picture=${url#"$homepage/"}
        case "$picture" in
            *..*) ;;
            docs/*.png) [ "$(/usr/bin/identify -format %m "$SOURCE/$picture" 2>/dev/null)" = PNG ] && continue ;;
        esac
        fail "$id shows $url, not a PNG picture of the project's docs/ under $homepage/"
    done
    echo "$id: $entry, $(echo $binaries), release $released, screenshots $(echo $urls)"
done
sort "$WORK/launched" >"$WORK/launched.sorted"
grep "^$APPLICATIONS/.*\.desktop$" "$STATE/contents" | sed 's|.*/||' | sort | cmp -s - "$WORK/launched.sorted" ||
    fail "the metainfo files do not name each desktop entry of the package once: $(echo $(cat "$WORK/launched.sorted"))"
echo "PASS: $CASE"
