#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a layer it must not build on, so every
# arrow of the architecture runs one way:
#   platform < library < discovery, cleaning (siblings) < ui, cli (siblings); samples above the core;
#   report (JSON of records and cleaned entries) above library and cleaning; web (the console's server) above the core and report,
#   used by cli;
#   i18n (the translation lookup and the texts people read, Qt Core only) above library, used by
#   ui and cli.
# Usage: check_layers.sh [SRC_DIR]     check SRC_DIR (default: the project's src/)
#        check_layers.sh --self-test   show on generated trees that a wrong include is caught
set -euo pipefail

# What each layer may include besides itself. A folder of sources missing here is an error:
# a new layer states its place before it is used.
declare -A allowed=(
    [platform]=""
    [library]="platform"
    [discovery]="platform library"
    [cleaning]="platform library"
    [i18n]="platform library"
    [report]="platform library cleaning"
    [web]="platform library discovery cleaning report i18n"
    [ui]="platform library discovery cleaning i18n"
    [cli]="platform library discovery cleaning i18n report web"
    [samples]="platform library discovery cleaning"
)

check() {
    local src=$1 failures=0 file layer line target
    while IFS= read -r -d '' file; do
        layer=${file#"$src"/}
        layer=${layer%%/*}
        if [[ -z ${allowed[$layer]+set} ]]; then
            echo "$file: folder '$layer' has no place in the layer order of ${BASH_SOURCE[0]}"
            failures=$((failures + 1))
            continue
        fi
        while IFS= read -r line; do
            target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
            if [[ $target == *..* ]]; then
                echo "$file: relative include \"$target\" hides its layer"
                failures=$((failures + 1))
                continue
            fi
            [[ $target == */* ]] || continue
            target=${target%%/*}
            [[ -n ${allowed[$target]+set} ]] || continue
            if [[ $target != "$layer" && " ${allowed[$layer]} " != *" $target "* ]]; then
                echo "$file: layer '$layer' includes \"${line#*\"}"
                failures=$((failures + 1))
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done < <(find "$src" -mindepth 2 -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.mm' \) -print0)
    if ((failures > 0)); then
        echo "$failures include(s) against the layer order"
        return 1
    fi
}

self_test() {
    local dir status=0 including included expect
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' RETURN
    # including-layer included-layer expected-result
    while read -r including included expect; do
        rm -rf "$dir/src"
        mkdir -p "$dir/src/$including" "$dir/src/$included"
        echo '#pragma once' >"$dir/src/$included/thing.h"
        printf '#include "%s/thing.h"\n' "$included" >"$dir/src/$including/user.cpp"
        if check "$dir/src" >/dev/null; then result=pass; else result=fail; fi
        if [[ $result != "$expect" ]]; then
            echo "self-test: $including including $included should $expect, did $result"
            status=1
        fi
    done <<'EOF'
library platform pass
discovery library pass
cleaning library pass
ui discovery pass
cli cleaning pass
samples discovery pass
platform library fail
library discovery fail
library cleaning fail
discovery cleaning fail
cleaning discovery fail
discovery ui fail
cleaning cli fail
ui cli fail
cli ui fail
discovery samples fail
newlayer platform fail
EOF
    rm -rf "$dir/src" && mkdir -p "$dir/src/cleaning"
    echo '#include "../discovery/thing.h"' >"$dir/src/cleaning/user.cpp"
    if check "$dir/src" >/dev/null; then
        echo "self-test: a relative include should fail"
        status=1
    fi
    ((status == 0)) && echo "self-test: every wrong include caught"
    return $status
}

if [[ ${1:-} == --self-test ]]; then
    self_test
else
    src=${1:-"$(dirname "$0")/../src"}
    check "${src%/}"
fi
