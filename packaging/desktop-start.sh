#!/bin/sh
# Korvane - start from the desktop menu.
# SPDX-License-Identifier: MIT
#
# korvane and Pictorix keep their files (log.txt, Temp.bmp, the COMn links)
# in the folder they are started from. A program started from the menu
# would otherwise run wherever the desktop happens to be (often the home
# folder, or / ), so it is given a folder of the user's own instead:
# $XDG_DATA_HOME/korvane, by default ~/.local/share/korvane, made on first
# start. Pictorix started from the menu then opens the last snapshot korvane
# took from the menu.
# Usage: desktop-start korvane|Pictorix
set -eu
case "${1:-}" in
    korvane | Pictorix) ;;
    *) echo "usage: desktop-start korvane|Pictorix" >&2; exit 2 ;;
esac
# An XDG_DATA_HOME that is not an absolute path is to be ignored.
case "${XDG_DATA_HOME:-}" in
    /*) data=$XDG_DATA_HOME ;;
    *) data=${HOME:?}/.local/share ;;
esac
folder=$data/korvane
mkdir -p "$folder"
cd "$folder"
exec "$(dirname "$(readlink -f "$0")")/$1"
