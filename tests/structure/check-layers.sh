#!/usr/bin/env bash
# Fails when an include crosses a layer upward. Every project include names its folder
# (#include "dsp/DynamicsEngine.h"), so the folder is the layer; <windows.h> and <shellapi.h>
# count as the platform layer. Usage: check-layers.sh <source root>
set -euo pipefail
root="${1:?usage: check-layers.sh <source root>}"
cd "$root"

# What each shipped layer may include besides itself, lowest layer first.
declare -A allowed=(
    [dsp]=""
    [resources]=""
    [host]=""
    [core]="dsp"
    [platform]="resources"
    [editor]="host dsp resources platform"
    [plugin]="core editor host dsp resources"
)
# The rest (tools, tests, bench, fuzz) may include every layer, but each other only through
# these folders.
folders="dsp core resources host platform editor plugin tools tests bench fuzz"

# file:layer pairs allowed although they run upward.
exceptions=""

failures=0
fail() {
    echo "$1" >&2
    failures=$((failures + 1))
}

while IFS= read -r file; do
    layer="${file%%/*}"
    while IFS= read -r line; do
        target="${line#*include}"
        target="${target#"${target%%[\"<]*}"}"
        case "$target" in
        \"*)
            path="${target#\"}"
            path="${path%%\"*}"
            used="${path%%/*}"
            if [[ "$path" != */* || " $folders " != *" $used "* ]]; then
                fail "$file: include \"$path\" does not name its folder"
                continue
            fi
            ;;
        \<windows.h\>* | \<shellapi.h\>*) used=platform ;;
        *) continue ;;
        esac
        if [[ -z "${allowed[$layer]+set}" || "$used" == "$layer" ]]; then
            continue
        fi
        if [[ " ${allowed[$layer]} " == *" $used "* || " $exceptions " == *" $file:$used "* ]]; then
            continue
        fi
        fail "$file: the $layer layer includes $used/ ($line)"
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' "$file" || true)
done < <(find $folders -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) | sort)

if ((failures > 0)); then
    echo "check-layers: $failures include(s) cross a layer" >&2
    exit 1
fi
echo "check-layers: every include runs downward"
