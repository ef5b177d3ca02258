#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: each build's import check
# and its suite under Wine. The shipped i686 build runs in a 64-bit Windows (as a WOW64 process)
# and in a 32-bit one, where this machine runs 32-bit programs; the x86_64 build in a 64-bit one.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
install_missing
build_both
start_wine_session
status=0
if can_run_32bit; then
    ctest --test-dir "$BUILD/i686" --output-on-failure || status=1
else
    ctest --test-dir "$BUILD/i686" --output-on-failure -R 'program_imports|layers' || status=1
fi
ctest --test-dir "$BUILD/x86_64" --output-on-failure || status=1
exit $status
