#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the import check of each
# program, and the x86_64 tests under Wine.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
install_missing
build_both
start_wine_session
status=0
ctest --test-dir "$BUILD/i686" --output-on-failure || status=1
ctest --test-dir "$BUILD/x86_64" --output-on-failure || status=1
exit $status
