#!/bin/sh
# The installed package's entries for software centres (AppStream metainfo):
# valid to appstreamcli together with the desktop entries they name, one for
# each desktop entry of the package; each names programs the package puts
# on the PATH (the one its desktop entry starts among them), the package's
# version and home, and screenshots that are the project's docs/ pictures
# under that home.
# Usage: metainfo.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package metainfo"
. "$(dirname "$0")/package-lib.sh"
require appstreamcli setpriv /usr/bin/identify
needs_package
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
METAINFO=/usr/share/metainfo
APPLICATIONS=/usr/share/applications

grep "^$METAINFO/." "$STATE/contents" >"$WORK/metainfo" || fail "the package has no metainfo files"
grep "^$APPLICATIONS/.*\.desktop$" "$STATE/contents" >"$WORK/entries" || fail "the package has no desktop entries"

# appstreamcli checks the files against the desktop entries they name when
# it sees them in a tree as installed: the package's own files, copied, so
# that the other packages' metainfo on this machine has no say.
while read -r path; do
    mkdir -p "$WORK/tree$(dirname "$path")"
    cp "$path" "$WORK/tree$path" || fail "$path is not installed"
done <<EOF
$(cat "$WORK/metainfo" "$WORK/entries")
EOF
appstreamcli validate-tree --no-net --no-color "$WORK/tree" >"$WORK/validate.log" 2>&1 \
    || { cat "$WORK/validate.log"; fail "appstreamcli finds the metainfo invalid"; }
grep -q '^ *[A-Z]: ' "$WORK/validate.log" && { cat "$WORK/validate.log"; fail "appstreamcli has remarks on the metainfo"; }

version=$(dpkg-query -W -f='${Version}' korvane)
homepage=$(dpkg-query -W -f='${Homepage}' korvane)
[ -n "$homepage" ] || fail "the package names no Homepage"

# yaml_list FILE KEY: the items of a list of strings under KEY (at any depth)
# in the YAML form appstreamcli makes of a metainfo file.
yaml_list() {
    awk -v key="$2:" '
        $1 == key { depth = index($0, key); inside = 1; next }
        inside && /^ *- / && index($0, "-") >= depth { sub(/^ *- /, ""); print; next }
        { inside = 0 }' "$1"
}
# yaml_value FILE KEY: the first value of KEY (at any depth).
yaml_value() {
    sed -n "s/^ *-\{0,1\} *$2: //p" "$1" | head -n 1
}

# What a software centre of an ordinary user sees: appstreamcli reads the
# installed metainfo with the desktop entries into a fresh cache of the
# user's own; each program is to be found by what it is for.
mkdir -p "$WORK/home"
chmod 755 "$WORK"
chown "$USER_NAME:$USER_GROUP" "$WORK/home"
(cd / && setpriv --reuid="$USER_NAME" --regid="$USER_GROUP" --clear-groups \
    env -i HOME="$WORK/home" XDG_CACHE_HOME="$WORK/home/cache" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    appstreamcli search oscilloscope) >"$WORK/search.log" 2>&1 || fail "appstreamcli search failed"

: >"$WORK/launched"
for file in $(cat "$WORK/metainfo"); do
    name=$(basename "$file")
    yaml=$WORK/$name.yml
    appstreamcli convert "$file" "$yaml" >"$WORK/convert.log" 2>&1 || fail "appstreamcli cannot read $file"
    id=$(yaml_value "$yaml" ID)
    [ "$name" = "$id.metainfo.xml" ] || fail "$file holds the component $id"

    entries=$(yaml_list "$yaml" desktop-id)
    [ "$(echo "$entries" | grep -c .)" -eq 1 ] || fail "$id names not one desktop entry but: $entries"
    grep -qx "$APPLICATIONS/$entries" "$WORK/entries" || fail "$id names $entries, which the package does not install"
    echo "$entries" >>"$WORK/launched"

    # Listed with the icon of its desktop entry: the software centre has
    # joined the two.
    icon=$(sed -n 's/^Icon=//p' "$APPLICATIONS/$entries")
    awk -v id="$id" '/^Identifier: / { listed = ($2 == id) } listed' "$WORK/search.log" >"$WORK/$id.listed"
    [ -s "$WORK/$id.listed" ] || fail "a software centre does not list $id under 'oscilloscope'"
    grep -qx "Icon: $icon" "$WORK/$id.listed" || fail "a software centre shows $id without the icon $icon of $entries"

    binaries=$(yaml_list "$yaml" binaries)
    [ -n "$binaries" ] || fail "$id names no program"
    for binary in $binaries; do
        grep -qx "/usr/bin/$binary" "$STATE/contents" || fail "$id names the program $binary, which the package does not put on the PATH"
        [ -x "/usr/bin/$binary" ] || fail "/usr/bin/$binary is not a program"
    done
    started=$(sed -n 's/^Exec=.* \([^ ]*\)$/\1/p' "$APPLICATIONS/$entries")
    echo "$binaries" | grep -qx "$started" || fail "$id names the programs $binaries, but $entries starts $started"

    released=$(yaml_value "$yaml" version)
    [ "$released" = "$version" ] || fail "$id lists the release '$released', the package is $version"
    [ "$(yaml_value "$yaml" homepage)" = "$homepage" ] || fail "$id names the home $(yaml_value "$yaml" homepage), the package $homepage"

    # The screenshots: the docs/ pictures, at their place in the project
    # under its home; each with a caption.
    urls=$(sed -n 's/^ *url: //p' "$yaml")
    [ -n "$urls" ] || fail "$id has no screenshot"
    [ "$(grep -c '^ *caption:' "$yaml")" -eq "$(echo "$urls" | grep -c .)" ] || fail "$id has a screenshot without a caption"
    for url in $urls; do
        picture=${url#"$homepage/"}
        case "$picture" in
            "$url" | *..*) fail "$id shows $url, not a picture under $homepage/" ;;
            docs/*.png) ;;
            *) fail "$id shows $url, not one of the pictures in docs/" ;;
        esac
        [ "$(/usr/bin/identify -format '%m' "$SOURCE/$picture" 2>/dev/null)" = PNG ] \
            || fail "$id shows $url, but $picture is no PNG picture of the project"
    done
    echo "$id: $entries, $(echo $binaries), release $released, screenshots $(echo $urls)"
done

sort "$WORK/launched" >"$WORK/launched.sorted"
dup=$(uniq -d "$WORK/launched.sorted")
[ -z "$dup" ] || fail "more than one metainfo file names $dup"
unlisted=$(sed "s|^$APPLICATIONS/||" "$WORK/entries" | sort | comm -23 - "$WORK/launched.sorted")
[ -z "$unlisted" ] || fail "no metainfo file names the desktop entries $unlisted"
echo "PASS: $CASE"
