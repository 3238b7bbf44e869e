#!/bin/bash
# Remakes docs/title.png, docs/play.png and docs/gameover.png with the
# headless runner. Usage: bash docs/shots/make_shots.sh BUILD_DIR
# (the build folder holding pellimunch-sim and the generated bmp/ and wav/).
set -euo pipefail
build=${1:?usage: make_shots.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
docs=$(dirname "$here")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
shot() {   # name seed frame
    # A fresh high-score file each time, so every shot shows the default.
    "$build/pellimunch-sim" --seed "$2" --script "$here/$1.txt" --frames "$3" --trace none \
        --score "$tmp/$1.dat" --shot "$3:$tmp/$1.bmp" > /dev/null
    convert "$tmp/$1.bmp" "$docs/$1.png"
}
shot title 1 100
shot play 8 128
shot gameover 8 925
