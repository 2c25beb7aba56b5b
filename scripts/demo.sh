#!/usr/bin/env bash
# The main job on simulated cameras.
# usage: demo.sh BUILD_DIR
set -euo pipefail
build=$1
"$build/native/tools/lumora-sim-report"
