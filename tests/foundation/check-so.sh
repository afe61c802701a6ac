#!/bin/sh
# Checks the Linux shared object as the loader and older systems see it: every symbol bound at
# load (BIND_NOW) with the relocations read-only afterwards (GNU_RELRO), kept loaded once loaded
# (NODELETE), and no symbol version newer than GLIBC_2.31 or GLIBCXX_3.4.28.
# Usage: check-so.sh module.so
set -u
module="$1"
export LC_ALL=C
status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

dynamic="$(readelf -d "$module")" || { echo "FAIL: readelf cannot read $module" >&2; exit 1; }
echo "$dynamic" | grep -Eq '\(FLAGS\) +.*BIND_NOW|\(FLAGS_1\) +Flags:.* NOW' ||
    fail "no BIND_NOW: symbols would be bound lazily, on first use"
echo "$dynamic" | grep -Eq '\(FLAGS_1\) +Flags:.* NODELETE' ||
    fail "no NODELETE: unloading would leave the libraries' caches behind on every load"
readelf -lW "$module" | grep -q 'GNU_RELRO' || fail "no GNU_RELRO segment"

# The newest version of each library the module asks for, checked against its ceiling.
versions="$(objdump -T "$module" | grep -Eo '\b(GLIBC|GLIBCXX)_[0-9.]+' | sort -u)"
newest() {
    echo "$versions" | sed -n "s/^$1_//p" | sort -t. -k1,1n -k2,2n -k3,3n | tail -n 1
}
at_most() { # at_most name version ceiling
    if [ -z "$2" ]; then
        fail "no $1 version found: nothing could be checked"
    elif [ "$(printf '%s\n%s\n' "$2" "$3" | sort -t. -k1,1n -k2,2n -k3,3n | tail -n 1)" != "$3" ]; then
        fail "needs $1_$2, newer than $1_$3"
    else
        echo "$1: newest $2 (at most $3)"
    fi
}
at_most GLIBC "$(newest GLIBC)" 2.31
at_most GLIBCXX "$(newest GLIBCXX)" 3.4.28
exit $status
