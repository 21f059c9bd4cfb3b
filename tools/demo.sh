#!/usr/bin/env bash
# The main job on the bundled sample device. Usage: demo.sh WIN32_BUILD_DIR
set -euo pipefail
win32=$1
echo "Built deliverables:"
ls -l "$win32/menuext/Pelmora.dll" "$win32/setting_app/PelmoraSetting.exe"
