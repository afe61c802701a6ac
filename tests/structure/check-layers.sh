#!/usr/bin/env bash
# Fails when an include crosses a layer upward, when a project header is included in angle
# brackets, and when shipped code includes test-only code. Every project include names its folder
# (#include "dsp/DynamicsEngine.h"), so the folder is the layer; <windows.h> and <shellapi.h>
# (platform/include outside Windows) count as the platform layer. Usage: check-layers.sh <root>
set -euo pipefail
root="${1:?usage: check-layers.sh <source root>}"
cd "$root"
source tests/support/failures.sh

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
folders=$(for d in dsp core resources host platform editor plugin tools tests bench fuzz; do
    [ ! -d "$d" ] || printf '%s ' "$d"
done)
# Shipped code: these folders, less the tools that only test or measure. Test-only code: tests/,
# the offscreen window system and every testing/ folder.
shipped="dsp core resources host platform editor plugin tools"
test_tools="tools/winbench/ tools/tanhproof/ tools/snapshot/"
test_only='^(tests/|platform/offscreen/|.*/testing/)'
# The project's headers by name, to catch one included in angle brackets without its folder.
declare -A headers=()
while IFS= read -r name; do headers[$name]=1; done < <(find $folders -name '*.h' -printf '%f\n')
unset 'headers[windows.h]' 'headers[shellapi.h]'

while IFS= read -r file; do
    layer="${file%%/*}"
    is_shipped=0
    if [[ " $shipped " == *" $layer "* && ! "$file" =~ $test_only ]]; then
        is_shipped=1
        for tool in $test_tools; do [[ "$file" != "$tool"* ]] || is_shipped=0; done
    fi
    while IFS= read -r line; do
        target="${line#*include}"
        target="${target#"${target%%[\"<]*}"}"
        path="${target:1}"
        case "$target" in
        \"*)
            path="${path%%\"*}"
            used="${path%%/*}"
            if [[ "$path" != */* || " $folders " != *" $used "* ]]; then
                fail "$file: include \"$path\" does not name its folder"
                continue
            fi
            ;;
        \<windows.h\>* | \<shellapi.h\>*) used=platform ;;
        *)
            path="${path%%>*}"
            if [[ " $folders " == *" ${path%%/*} "* || -n "${headers[${path##*/}]+set}" ]]; then
                fail "$file: the project's header $path is included in angle brackets ($line)"
            fi
            continue
            ;;
        esac
        if ((is_shipped)) && [[ "$path" =~ $test_only ]]; then
            fail "$file: shipped code includes test-only $path"
        fi
        if [[ -z "${allowed[$layer]+set}" || "$used" == "$layer" ]]; then
            continue
        fi
        if [[ " ${allowed[$layer]} " == *" $used "* ]]; then
            continue
        fi
        fail "$file: the $layer layer includes $used/ ($line)"
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' "$file" || true)
done < <(find $folders -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) | sort)

finish "check-layers: every include runs downward, in quotes, and no shipped code includes tests" \
    "check-layers: $failures include(s) break the layers"
