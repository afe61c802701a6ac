# Sourced by the test scripts: `fail` reports one failure and counts it, `finish` ends the script
# with the verdict (exit 1 after any failure, else the line that says what passed).
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
finish() { # <line when all passed> [<line after failures>]
    if ((failures > 0)); then
        [ -z "${2:-}" ] || echo "$2" >&2
        exit 1
    fi
    echo "$1"
}
