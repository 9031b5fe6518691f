#!/bin/sh
# wine-run.sh ENV PROGRAM [ARGUMENT...]: runs a Windows program of the build
# under wine, in the prefix that ENV (the build's wine/env.sh) names.
set -eu
. "$1"
shift
exec "$KORVANE_WINE" "$@"
