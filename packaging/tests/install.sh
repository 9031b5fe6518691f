#!/bin/sh
# The Debian package, built with cpack from the programs of this build tree
# and installed with apt-get. Leaves in STATE_DIR the package's paths, the
# ones new to this machine (for the purge case), and the files of every
# package it brings with it (for the running cases' library check).
# Usage: install.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package install"
. "$(dirname "$0")/package-lib.sh"
require "$CPACK"
machine_lock
mkdir -p "$STATE"
# Run again while the package of an earlier run is still there: this run's
# package replaces it, and the paths new to the machine stay those found
# before the first.
again=""
if ours; then
    again=1
else
    rm -f "$STATE/installed"
    not_installed || { echo "SKIP: a korvane package is already on this machine ($(package_status))"; exit 77; }
fi

"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 || fail "cpack failed"
set -- "$WORK"/pkg/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single .deb: $*"
echo "built $(basename "$1"): Depends: $(dpkg-deb -f "$1" Depends)"

# Its paths; a file of it already on the machine belongs to someone else.
dpkg-deb -c "$1" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$STATE/contents"
if [ -z "$again" ]; then
    while read -r path; do
        if [ -d "$path" ] && [ ! -L "$path" ]; then continue; fi
        if [ -e "$path" ] || [ -L "$path" ]; then echo "SKIP: $path is already on this machine"; exit 77; fi
        echo "$path"
    done <"$STATE/contents" >"$STATE/new-paths"
fi

touch "$STATE/installed"
apt-get install -y --reinstall --no-install-recommends -o DPkg::Lock::Timeout=300 "$1" >"$WORK/apt.log" 2>&1 \
    || fail "apt-get install of the package failed"
[ "$(package_status)" = installed ] || fail "korvane is not installed after apt-get"

# The files of the packages korvane brings with it.
apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances korvane | grep -v '^ ' | sed 's/:.*//' | sort -u >"$WORK/closure"
grep -qx libqt6widgets6 "$WORK/closure" || fail "the package does not bring Qt's widgets"
# shellcheck disable=SC2046
dpkg-query -L $(cat "$WORK/closure") 2>/dev/null | sed 's|^/usr/|/|' | sort -u >"$STATE/closure-files"
echo "PASS: $CASE"
