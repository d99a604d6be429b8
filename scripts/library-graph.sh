#!/bin/bash
# Prints the link arrows between the program's and zt-devserver's own targets, as CMake's
# graph of the configured build directory holds them: one line per target, what it links.
# scripts/library-graph.sh BUILD_DIR            prints the graph
# scripts/library-graph.sh BUILD_DIR --check    fails when the README's graph differs from it
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
mode=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --graphviz="$work/graph.dot" "$build" > "$work/configure.log" 2>&1 \
    || { cat "$work/configure.log"; exit 1; }

# Test and benchmark targets are left out: they may link whatever they test.
is_shown() {
    [[ $1 == zt[-_]* ]] || return 1
    case $1 in
        zt-bench-* | zt_bench_* | zt_testsupport | zt_recording_dialogs | zt_latency_proxy \
            | zt_test_odbc_client | zt_accountset_fixture) return 1 ;;
    esac
}

graph() {
    declare -A links=()
    local from to
    while read -r from to; do
        is_shown "$from" || continue
        links[$from]+=""
        if is_shown "$to"; then
            links[$from]+=" $to"
        fi
    done < <(sed -n 's|^ *"node[0-9]*" -> "node[0-9]*".*// \(.*\) -> \(.*\)$|\1 \2|p' "$work/graph.dot")
    for from in "${!links[@]}"; do
        local sorted
        sorted=$(tr ' ' '\n' <<< "${links[$from]}" | sed '/^$/d' | sort | tr '\n' ' ')
        printf '%s -> %s\n' "$from" "${sorted% }" | sed 's/ *$//'
    done | sort
}

if [[ $mode == --check ]]; then
    graph > "$work/real"
    sed -n '/^<!-- library graph -->$/,/^<!-- end of library graph -->$/p' README.md \
        | sed '1,2d;$d' | sed '$d' > "$work/readme"
    if ! diff -u "$work/readme" "$work/real"; then
        echo "error: the README's library graph is not the build's; update it from: $0 $build" >&2
        exit 1
    fi
else
    graph
fi
