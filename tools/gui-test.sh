#!/usr/bin/env bash
# Runs the GUI test program under Wine in a private X server with a
# compositing manager: tools/gui-test.sh build-win/app/quillon_gui_tests.exe
# [gtest arguments...]. ctest runs it this way in the Windows build.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/xvfb-session.sh" bash "$here/wine-run.sh" "$@"
