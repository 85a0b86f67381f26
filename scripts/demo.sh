#!/usr/bin/env bash
# The main job: a guitar riff re-amped through two real cabinet IRs in two slots of the
# built Linux plug-in, driven by our own host. Writes demo/dry.wav and demo/wet.wav, and a
# picture of the plug-in's editor with the two cabs loaded, demo/editor.png.
#   scripts/demo.sh [BUILD]   (default build/linux)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/linux}" && pwd)
demo="$root/demo"
mkdir -p "$demo"

# Real cabinet IRs from Debian's rakarrack package, fetched now, never committed.
"$root/scripts/fetch-irs.sh" "$build/irs"
ir1="$build/irs/rakarrack/1.wav"
ir2="$build/irs/rakarrack/4.wav"

"$build/tools/riffgen/riffgen" "$demo/dry.wav" --seconds 8 >/dev/null
"$build/tools/orvex/orvex" info "$build/Orvex.so" | sed -n '1,17p'
echo
"$build/tools/orvex/orvex" render "$build/Orvex.so" --in "$demo/dry.wav" --out "$demo/wet.wav" \
    --ir "1=$ir1" --ir "2=$ir2" --set "Pan1=0.3" --set "Pan2=0.7" --set "Freq LP2=0.6" \
    --save-chunk "$demo/orvex.chunk"
echo
# The same state for LV2 hosts (jalv.gtk3 -l demo/orvex-lv2-state), converted through the
# LV2 build.
rm -rf "$demo/orvex-lv2-state"
"$build/tools/orvex/orvex" convert "$build/lv2/Orvex.lv2" --chunk "$demo/orvex.chunk" \
    --save-state "$demo/orvex-lv2-state" 2>/dev/null
echo
# The same settings, seen in the editor: both file menus list their folder's IRs.
"$build/tools/orvex/orvex" snapshot "$build/Orvex.so" --out "$demo/editor.png" \
    --ir "1=$ir1" --ir "2=$ir2" --set "Pan1=0.3" --set "Pan2=0.7" --set "Freq LP2=0.6"
echo
echo "demo: the dry riff is $demo/dry.wav"
echo "demo: the riff through cab 1 ($(basename "$ir1")) and cab 2 ($(basename "$ir2")) is $demo/wet.wav"
echo "demo: the editor with both cabs loaded is $demo/editor.png"
echo "demo: the state as a VST2 bank chunk is $demo/orvex.chunk, as an LV2 state $demo/orvex-lv2-state"
