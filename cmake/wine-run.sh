#!/bin/sh
# Runs one Windows program in the build tree's Wine session.
# Usage: wine-run.sh WINE_ROOT PROGRAM [ARGS...]
# The session (prefix, wineserver, Xvfb) is started by wine-session.sh; when a
# program is run on its own, the prefix is created on first use.
set -e
root=$1
shift
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$(dirname "$0")/wine-session.sh" prefix "$root"
fi
exec "$WINE" "$@"
