#!/usr/bin/env bash
# The main job: installs what is missing, builds the plug-ins (dist/), then renders the bundled
# example with quorvel-render (the product's own effect, driven through its AEffect record as a
# host drives it): once at the plug-in's defaults, once with a lower threshold and a higher
# ratio, each with its picture of the levels and the gain reduction.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

tools/install-deps.sh main
tools/build.sh

render=build/native/bin/quorvel-render
out=dist/example
mkdir -p "$out"
"$render" --make-example "$out/example-input.wav"
echo "== defaults"
"$render" "$out/example-input.wav" "$out/example-output.wav" --plot "$out/example-output.png"
echo "== threshold -24 dB, ratio 8:1"
"$render" "$out/example-input.wav" "$out/example-output-deep.wav" \
    --threshold -24 --ratio 8 --plot "$out/example-output-deep.png"
