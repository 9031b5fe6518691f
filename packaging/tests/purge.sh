#!/bin/sh
# The package installed by the install case purged with apt-get: dpkg no
# longer knows it, and none of the paths it brought to this machine is left.
# Usage: purge.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package purge"
. "$(dirname "$0")/package-lib.sh"
machine_lock
[ -e "$STATE/installed" ] || { echo "SKIP: no korvane package installed by korvane_package_install"; exit 77; }
not_installed || apt-get remove --purge -y -o DPkg::Lock::Timeout=300 korvane >"$WORK/purge.log" 2>&1 ||
    fail "apt-get remove --purge failed"
rm -f "$STATE/installed"
not_installed || fail "korvane is still known to dpkg as $(package_status) after purging"
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is left after purging"; fi
done <"$STATE/new-paths"
[ ! -e "$PROGRAMS" ] || fail "$PROGRAMS is left after purging"
echo "PASS: $CASE"
