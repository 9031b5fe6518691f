#!/bin/sh
# The installed package's files beyond their list: every program on the PATH
# leads into the program folder and has a manual page that groff reads
# without a warning; the desktop entries are valid, and their icons in every
# size folder of the theme are PNG images as big as their folder says,
# transparent around the drawing.
# Usage: files.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package files"
. "$(dirname "$0")/package-lib.sh"
require desktop-file-validate groff gzip /usr/bin/identify
needs_package

for launcher in $(grep '^/usr/bin/' "$STATE/contents"); do
    name=$(basename "$launcher")
    [ "$(readlink -f "$launcher")" = "$PROGRAMS/$name" ] && [ -x "$PROGRAMS/$name" ] ||
        fail "$launcher leads to $(readlink -f "$launcher"), no program of $PROGRAMS"
    page=/usr/share/man/man1/$name.1.gz
    grep -qx "$page" "$STATE/contents" || fail "no manual page for $name"
    gzip -dc "$page" | groff -man -t -ww -z -Tutf8 >"$WORK/groff.log" 2>&1 || fail "groff failed on $page"
    [ -s "$WORK/groff.log" ] && { cat "$WORK/groff.log"; fail "groff warns about $page"; }
done

for entry in korvane pictorix; do
    file=$APPLICATIONS/$entry.desktop
    desktop-file-validate "$file" >"$WORK/validate.log" 2>&1 && [ ! -s "$WORK/validate.log" ] ||
        { cat "$WORK/validate.log"; fail "desktop-file-validate has remarks on $file"; }
    icon=$(sed -n 's/^Icon=//p' "$file")
    found=0
    for dir in /usr/share/icons/hicolor/*x*/apps; do
        size=$(basename "$(dirname "$dir")")
        png=$dir/$icon.png
        grep -qx "$png" "$STATE/contents" || continue
        found=$((found + 1))
        [ "$(/usr/bin/identify -format '%m %wx%h %[opaque]' "$png" | tr A-Z a-z)" = "png $size false" ] \
            || fail "$png: $(/usr/bin/identify -format '%m %wx%h opaque %[opaque]' "$png"), not a $size PNG with transparency"
    done
    # 48x48 is the size every theme falls back on.
    [ "$found" -ge 6 ] && [ -e "/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
        fail "icon $icon in only $found sizes, or none of 48x48"
done
echo "PASS: $CASE"
