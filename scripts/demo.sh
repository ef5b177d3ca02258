#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs the program under Wine with a layout
# key. Only 64-bit Wine runs here, so the demonstration runs the x86_64 build of the program;
# the shipped 32-bit program is build/i686/bin/Uninstall_Pelmoradrv.exe.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
install_missing
build_both
start_wine_session
program="$BUILD/x86_64/bin/Uninstall_Pelmoradrv.exe"
key=d0010407
echo "Running Uninstall_Pelmoradrv.exe $key under Wine"
status=0
"$WINE" "$program" "$key" || status=$?
echo "Exit code: $status"
exit $status
