#!/usr/bin/env bash
# Checks with nm that a shipped module holds none of the test bench: no test window system (the offscreen one, its
# namespaces, its test access) and no helper that only tests and benchmarks call.
#   check-shipped-symbols.sh <module>
set -euo pipefail
module="$1"
if [ ! -f "$module" ]; then
    echo "FAIL: $module does not exist (build it with tools/build.sh)" >&2
    exit 1
fi
symbols="$(nm -C "$module")"
if [ -z "$symbols" ]; then
    echo "FAIL: nm finds no symbols in $module: nothing could be checked" >&2
    exit 1
fi
# The test window systems in any spelling; the engine's smoothing alone, the tanh entry that picks a level
# and the level names, which only tests and benchmarks call (the levels' own tanhBlockSse2 and
# tanhBlockAvx2 are the engine's).
patterns='[Ss]tand_?[Ii]n|[Oo]ffscreen|smoothOnly|simdLevelName|(^| )quorvel::tanhBlock\('
found="$(printf '%s\n' "$symbols" | grep -E "$patterns" || true)"
if [ -n "$found" ]; then
    echo "FAIL: $module contains test-only code:" >&2
    printf '%s\n' "$found" >&2
    exit 1
fi
echo "ok: $module holds no test window system and no test-only helper ($(printf '%s\n' "$symbols" | wc -l) symbols checked)"
