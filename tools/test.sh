#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# the native tests (unit, bit-exact audio, editor through the stand-in, the real DLLs under
# Wine), then the sanitizer builds and the bounded fuzz runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

tools/install-deps.sh
tools/build.sh

echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "${QUORVEL_JOBS:-$(nproc)}"

for extra in tools/test-sanitizers.sh tools/test-fuzz.sh; do
    if [ -x "$extra" ]; then
        "$extra"
    fi
done
echo "== all tests passed"
