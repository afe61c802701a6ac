#!/usr/bin/env bash
# Counts a ctest run from its JUnit file (ctest --output-junit): prints
#   <passed> passed, <failed> failed, <skipped> skipped
# and then one line per reason for skipping, with the number of tests it skipped. Only a test
# that reported a skip itself counts as skipped (gtest's "[  SKIPPED ]", or exit status 77 from a
# script); a test that ctest could not start, or left out because its fixture failed, counts as
# failed.
#   ctest-summary.sh <junit.xml>
set -euo pipefail
export LC_ALL=C

if [ ! -f "${1:-}" ]; then
    echo "0 passed, 1 failed, 0 skipped"
    echo "  (no test results at '${1:-}': ctest did not run)"
    exit 0
fi

awk '
    function unescape(s) {
        gsub(/&quot;/, "\"", s); gsub(/&apos;/, "'\''", s); gsub(/&lt;/, "<", s)
        gsub(/&gt;/, ">", s); gsub(/&amp;/, "\\&", s)
        return s
    }
    /<testcase / {
        status = $0; sub(/.* status="/, "", status); sub(/".*/, "", status)
        if (status == "run") passed++
        else if (status == "fail") failed++
        else if (status == "notrun") pending = 1
        inSkipped = 0; afterGtestSkip = 0
        next
    }
    pending && /<skipped message="/ {
        pending = 0
        if ($0 ~ /message="SKIP_(REGULAR_EXPRESSION_MATCHED|RETURN_CODE)/) { skipped++; inSkipped = 1; reason = "" }
        else failed++
        next
    }
    { sub(/^[ \t]*<system-out>/, "") }
    inSkipped && afterGtestSkip { reason = unescape($0); afterGtestSkip = 0 }
    inSkipped && /: Skipped$/ { afterGtestSkip = 1 }
    inSkipped && /^SKIPPED: / { reason = unescape(substr($0, 10)) }
    /<\/testcase>/ {
        if (pending) { failed++; pending = 0 }
        if (inSkipped) { reasons[reason == "" ? "(no reason given)" : reason]++; inSkipped = 0 }
    }
    END {
        printf "%d passed, %d failed, %d skipped\n", passed, failed, skipped
        for (r in reasons) printf "  skipped %d: %s\n", reasons[r], r | "sort"
    }
' "$1"
