#!/bin/bash
# Runs every function of every Qt Test executable of a build on its own, the way a developer
# runs one (`./tst_x someFunction`), to catch functions that lean on what an earlier one did.
#
#   scripts/run-tests-alone.sh BUILD_DIR [REGEX]
#
# The tests come from ctest (with their environment and working directory); REGEX limits them
# like `ctest -R`. A test whose program is not linked to Qt Test (or lists no functions) is
# run whole, once. Two functions run at a time (JOBS=n to change). Logs of failures are kept in
# BUILD_DIR/tests-alone/. Exits non-zero when a function fails or a zt-devserver outlives its
# test.
set -euo pipefail

if [ "${1:-}" = "--run-one" ]; then
    # Worker: --run-one LOG_DIR TIMEOUT PLAN_LINE
    log_dir=$2 limit=$3
    IFS=$'\t' read -r workdir label env_json command_json function <<<"$4"
    mapfile -t environment < <(jq -r '.[]' <<<"$env_json")
    mapfile -t command < <(jq -r '.[]' <<<"$command_json")
    [ -n "$function" ] && command+=("$function")
    log="$log_dir/${label//[^A-Za-z0-9_.-]/_}.log"
    start=$(date +%s%N)
    if (cd "$workdir" && timeout --kill-after=10 "$limit" env "${environment[@]}" "${command[@]}") \
        >"$log" 2>&1; then
        rm -f "$log"
        printf 'PASS %s (%d ms)\n' "$label" $((($(date +%s%N) - start) / 1000000))
    else
        printf 'FAIL %s (exit %s, log %s)\n' "$label" "$?" "$log"
    fi
    exit 0
fi

build=$(cd "${1:?usage: $0 BUILD_DIR [REGEX]}" && pwd)
regex=${2:-}
jobs=${JOBS:-2}
limit=${FUNCTION_TIMEOUT:-600}
log_dir="$build/tests-alone"
rm -rf "$log_dir"
mkdir -p "$log_dir"

tests_json=$(cd "$build" && ctest --show-only=json-v1 ${regex:+-R "$regex"})
count=$(jq '.tests | length' <<<"$tests_json")

# One line per run: workdir, label, environment, command, function (tab-separated).
plan="$log_dir/plan.tsv"
: >"$plan"
for ((i = 0; i < count; i++)); do
    t=$(jq -c ".tests[$i]" <<<"$tests_json")
    name=$(jq -r '.name' <<<"$t")
    command_json=$(jq -c '.command' <<<"$t")
    env_json=$(jq -c '[.properties[]? | select(.name == "ENVIRONMENT") | .value[]]' <<<"$t")
    workdir=$(jq -r '[.properties[]? | select(.name == "WORKING_DIRECTORY") | .value][0]
                     // "."' <<<"$t")
    mapfile -t environment < <(jq -r '.[]' <<<"$env_json")
    mapfile -t command < <(jq -r '.[]' <<<"$command_json")
    functions=""
    if readelf -d "${command[0]}" 2>/dev/null | grep -q 'NEEDED.*libQt6Test'; then
        functions=$(cd "$workdir" && env "${environment[@]}" "${command[@]}" -functions \
                    2>/dev/null | sed -n 's/^\([A-Za-z_][A-Za-z0-9_]*\)()$/\1/p') || functions=""
    fi
    if [ -z "$functions" ]; then
        echo "note: $name is no Qt Test program; it runs whole" >&2
        printf '%s\t%s\t%s\t%s\t\n' "$workdir" "$name" "$env_json" "$command_json" >>"$plan"
        continue
    fi
    while read -r f; do
        printf '%s\t%s\t%s\t%s\t%s\n' "$workdir" "$name::$f" "$env_json" "$command_json" "$f" \
            >>"$plan"
    done <<<"$functions"
done

devservers() { pgrep -c -f -- "^$build/bin/zt-devserver " || true; }
servers_before=$(devservers)
runs=$(wc -l <"$plan")
echo "Running $runs test functions alone from $count executables, $jobs at a time"
start=$(date +%s)
results="$log_dir/results.txt"
tr '\n' '\0' <"$plan" |
    xargs -0 -n 1 -P "$jobs" "$0" --run-one "$log_dir" "$limit" | tee "$results"
elapsed=$(($(date +%s) - start))

passed=$(grep -c '^PASS ' "$results" || true)
failed=$(grep -c '^FAIL ' "$results" || true)
servers_left=$(($(devservers) - servers_before))
echo "Run alone: $passed passed, $failed failed, of $runs, in ${elapsed}s"
status=0
if ((failed > 0)); then
    grep '^FAIL ' "$results" | sort
    status=1
fi
if ((servers_left > 0)); then
    echo "error: $servers_left zt-devserver processes outlived their tests:" >&2
    pgrep -a -f -- "^$build/bin/zt-devserver " >&2 || true
    status=1
fi
exit $status
