#!/bin/sh
# Installs the Debian packages that are missing from the given lists.
# Usage: scripts/deps.sh LIST...   (run as root on Debian 12)
set -eu
missing=""
for list in "$@"; do
    for pkg in $(grep -v '^#' "$list"); do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $pkg"
        fi
    done
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends $missing
fi
