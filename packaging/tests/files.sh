#!/bin/sh
# The installed package's files: the programs and header2.bin in one program
# folder, a launcher on the PATH for each program and its manual page (sound
# to groff, found by man); the desktop entries valid, their icons in every
# size folder of the theme, each image as big as its folder says and
# transparent around the drawing.
# Usage: files.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package files"
. "$(dirname "$0")/package-lib.sh"
require desktop-file-validate groff gzip /usr/bin/identify
needs_package

for program in korvane Pictorix; do
    [ -x "$PROGRAMS/$program" ] || fail "$PROGRAMS/$program is missing"
done
cmp -s "$PROGRAMS/header2.bin" "$BIN/header2.bin" || fail "$PROGRAMS/header2.bin is not the build's header2.bin"
launchers=$(grep '^/usr/bin/' "$STATE/contents")
for launcher in $launchers; do
    name=$(basename "$launcher")
    [ "$(readlink -f "$launcher")" = "$PROGRAMS/$name" ] || fail "$launcher leads to $(readlink -f "$launcher")"
    [ -x "$PROGRAMS/$name" ] || fail "$launcher leads to no program"
    # Every program on the PATH has its manual page.
    grep -qx "/usr/share/man/man1/$name.1.gz" "$STATE/contents" || fail "no manual page for $name"
done
for name in korvane Pictorix; do
    echo "$launchers" | grep -qx "/usr/bin/$name" || fail "no launcher /usr/bin/$name"
done
for page in $(grep '/usr/share/man/man1/.*\.1\.gz$' "$STATE/contents"); do
    gzip -t "$page" || fail "$page is not gzip"
    gzip -dc "$page" | groff -man -t -ww -z -Tutf8 >"$WORK/groff.log" 2>&1 || fail "groff failed on $page"
    [ -s "$WORK/groff.log" ] && { cat "$WORK/groff.log"; fail "groff warns about $page"; }
done
if command -v man >/dev/null 2>&1; then
    [ "$(man -w korvane 2>/dev/null)" = /usr/share/man/man1/korvane.1.gz ] || fail "man does not find korvane(1)"
    [ "$(man -w Pictorix 2>/dev/null)" = /usr/share/man/man1/Pictorix.1.gz ] || fail "man does not find Pictorix(1)"
fi

for entry in korvane pictorix; do
    file=/usr/share/applications/$entry.desktop
    [ -f "$file" ] || fail "$file is missing"
    desktop-file-validate "$file" >"$WORK/validate.log" 2>&1 || { cat "$WORK/validate.log"; fail "$file is not valid"; }
    [ -s "$WORK/validate.log" ] && { cat "$WORK/validate.log"; fail "desktop-file-validate has remarks on $file"; }
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
    [ "$found" -ge 6 ] || fail "icon $icon in only $found sizes"
    grep -qx "/usr/share/icons/hicolor/48x48/apps/$icon.png" "$STATE/contents" || fail "icon $icon has no 48x48 image"
done
echo "files: programs, header2.bin, launchers, manual pages, desktop entries and icons"
echo "PASS: $CASE"
