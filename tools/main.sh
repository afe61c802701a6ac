#!/usr/bin/env bash
# The main job: installs what is missing, builds the plug-ins (dist/), then renders the bundled
# example through the Linux build, loaded as a host loads it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

tools/install-deps.sh
tools/build.sh

mkdir -p dist/example
build/native/bin/quorvel_render --make-example dist/example/example-input.wav
build/native/bin/quorvel_render dist/linux/QuorvelDemo.so \
    dist/example/example-input.wav dist/example/example-output.wav
