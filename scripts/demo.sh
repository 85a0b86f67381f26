#!/usr/bin/env bash
# The main job: shows what the built plug-in reports to a host.
set -euo pipefail
build=${1:-build/linux}
"$build/tools/orvex/orvex" info "$build/Orvex.so"
