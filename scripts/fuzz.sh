#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each on its seed corpus, then
# prints what every target did: inputs executed, seconds, coverage (edges, features), corpus
# size and crashes. Exits 1 when any target found a crash; its input is kept in
# build/fuzz/crashes/ for a test to replay.
#
#   scripts/fuzz.sh              each target for 10^7 inputs
#   scripts/fuzz.sh 200000       each target for that many inputs
#   scripts/fuzz.sh 300s         each target for 300 seconds
#   scripts/fuzz.sh --ci         the bounded run of CI: each target for 60 seconds
#
# Inputs the fuzzer finds go to build/fuzz/corpus/TARGET, beside the committed seeds in
# fuzz/corpus/TARGET (which stay untouched); a later run starts from both.
set -euo pipefail
cd "$(dirname "$0")/.."

limit="${1:-10000000}"
if [[ "$limit" == "--ci" ]]; then
    limit="60s"
fi
if [[ "$limit" =~ ^([0-9]+)s$ ]]; then
    bound=(-max_total_time="${BASH_REMATCH[1]}")
elif [[ "$limit" =~ ^[0-9]+$ ]]; then
    bound=(-runs="$limit")
else
    echo "usage: scripts/fuzz.sh [RUNS | SECONDSs | --ci]" >&2
    exit 2
fi

scripts/setup-deps.sh
# clang and its fuzzer runtime, only needed here.
if [[ $(dpkg-query -W -f='${Status}\n' clang libclang-rt-14-dev 2>/dev/null |
    grep -c 'install ok installed') -ne 2 ]]; then
    sudo=""
    [[ "$(id -u)" -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        clang libclang-rt-14-dev
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

out=build/fuzz
targets=(fuzz_frame_scan fuzz_script fuzz_ini fuzz_rig)
declare -A seeds=([fuzz_frame_scan]=frame_scan [fuzz_script]=script [fuzz_ini]=ini [fuzz_rig]=rig)
mkdir -p "$out/crashes"
summary=()
failed=0
for t in "${targets[@]}"; do
    corpus="$out/corpus/$t"
    mkdir -p "$corpus"
    log="$out/$t.log"
    echo "== $t (${limit})"
    set +e
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$out/fuzz/$t" "${bound[@]}" -print_final_stats=1 -rss_limit_mb=2048 -timeout=20 \
        -artifact_prefix="$out/crashes/$t-" "$corpus" "fuzz/corpus/${seeds[$t]}" >"$log" 2>&1
    rc=$?
    set -e
    tail -n 12 "$log"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
    corp=$(grep -o 'corp: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
    crashes=$(find "$out/crashes" -name "$t-*" | wc -l)
    if [[ $rc -ne 0 || $crashes -gt 0 ]]; then
        failed=1
        [[ $crashes -eq 0 ]] && crashes="exit $rc"
    fi
    summary+=("$(printf '%-16s %12s %8s %7s %7s %7s %8s' "$t" "${execs:-?}" "${secs:-?}" \
        "${cov:-?}" "${ft:-?}" "${corp:-?}" "$crashes")")
done
echo
printf '%-16s %12s %8s %7s %7s %7s %8s\n' target execs seconds cov ft corpus crashes
printf '%s\n' "${summary[@]}"
exit $failed
