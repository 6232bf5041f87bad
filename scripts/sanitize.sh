#!/usr/bin/env bash
# Builds the core, the CLI and their tests twice, with AddressSanitizer + UndefinedBehavior-
# Sanitizer (build-asan/) and with ThreadSanitizer (build-tsan/), the window left out; runs
# the tests under each, then the sanitized velmora-cli over a generated location (a scan on
# 64 threads, a dry run, a clean). Every sanitized process, children included, writes its
# reports into one folder per build; any report there fails the run.
#
# Usage: scripts/sanitize.sh [asan] [tsan]   (default: both)
#   SANITIZE_TESTS=REGEX  run only the CTest tests matching REGEX (default: all of them)
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
((${#kinds[@]} > 0)) || kinds=(asan tsan)

flags_for() {
    case $1 in
    # Undefined behaviour stops the process, so a test sees it as well as the report.
    asan) echo "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" ;;
    tsan) echo "-fsanitize=thread -fno-omit-frame-pointer" ;;
    *) echo "unknown sanitizer build '$1' (asan or tsan)" >&2 && return 1 ;;
    esac
}

# The options every sanitized process inherits: reports go to files named by process id
# (children that drop to another user write there too), and a report makes the exit fail.
export_options() {
    local logs=$1
    export ASAN_OPTIONS="log_path=$logs/asan:exitcode=86:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="log_path=$logs/ubsan:print_stacktrace=1:halt_on_error=1:exitcode=87"
    export TSAN_OPTIONS="log_path=$logs/tsan:exitcode=88:second_deadlock_stack=1:history_size=4"
}

fail_on_reports() {
    local logs=$1 what=$2
    if [[ -n $(find "$logs" -type f -print -quit) ]]; then
        echo "sanitize: reports after $what:"
        for report in "$logs"/*; do
            echo "==== $report"
            head -n 80 "$report"
        done
        return 1
    fi
}

# A generated location of sample libraries: scanned on 64 threads, cleaned as a dry run and
# for real; afterwards no library holds regenerable data and every library is still there.
# (Each step checks its own status: `set -e` does not act inside a function called with ||.)
cli_run() {
    local dir=$1 location=$1/sanitize-location cli=$1/bin/velmora-cli
    local before=$1/scan-before.json after=$1/scan-after.json
    rm -rf "$location"
    "$dir/bin/velmora-samples" --seed 16 --entries 20000 --libraries 8 "$location" >/dev/null || return 1
    "$cli" scan --threads 64 "$location" >/dev/null || return 1
    "$cli" scan --json --threads 64 "$location" >"$before" || return 1
    "$cli" clean --dry-run "$location" >/dev/null || return 1
    "$cli" scan --json --threads 64 "$location" >"$after" || return 1
    # Every scan gives its records new ids; everything else must be the same.
    local without_ids='s/"id": *"[^"]*"//g'
    cmp -s <(sed -E "$without_ids" "$before") <(sed -E "$without_ids" "$after") ||
        { echo "sanitize: the dry run changed the location" && return 1; }
    "$cli" clean --jobs 8 "$location" >/dev/null || return 1
    "$cli" scan --json --threads 64 "$location" >"$after" || return 1
    local sizes='"(cacheSize|proxySize|optimizedSize|analysisSize)": ?[1-9]'
    if (($(grep -cE "$sizes" "$before") == 0 || $(grep -cE "$sizes" "$after") != 0)) ||
        (($(grep -o '"id"' "$before" | wc -l) != $(grep -o '"id"' "$after" | wc -l))); then
        echo "sanitize: the clean left regenerable data or lost a library" && return 1
    fi
    rm -rf "$location"
}

for kind in "${kinds[@]}"; do
    dir=build-$kind
    flags=$(flags_for "$kind")
    started=$SECONDS
    launcher=()
    if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
    # Everything CTest runs, the window and the benchmark programs left out.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_UI=OFF \
        -DVELMORA_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
        "${launcher[@]}" >/dev/null
    cmake --build "$dir" -j"$(nproc)"

    logs=$PWD/$dir/sanitizer-logs
    rm -rf "$logs" && mkdir -p "$logs" && chmod 1777 "$logs"
    export_options "$logs"
    status=0
    (cd "$dir" && ctest --output-on-failure --timeout 900 -j2 ${SANITIZE_TESTS:+-R "$SANITIZE_TESTS"}) || status=1
    fail_on_reports "$logs" "the $kind tests" || status=1
    ((status == 0)) || exit 1
    cli_run "$PWD/$dir" || status=1
    fail_on_reports "$logs" "the $kind CLI run" || status=1
    ((status == 0)) || exit 1
    echo "sanitize: $kind clean in $((SECONDS - started)) s"
done
