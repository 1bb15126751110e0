#!/usr/bin/env bash
# Fuzzes the settings store's reader and writer for a bounded time (default 60 s) with
# libFuzzer, AddressSanitizer and UBSan. Needs clang. Usage: scripts/fuzz-store.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || { echo "fuzz-store.sh needs clang (apt-get install clang)" >&2; exit 1; }
seconds=${1:-60}
dir=${TQ_FUZZ_DIR:-build-fuzz}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTQ_FUZZ=ON -DTQ_SANITIZE=address \
  "${launcher[@]}" >/dev/null
nice cmake --build "$dir" --target tq_store_fuzz -j2
corpus="$dir/store-corpus"
mkdir -p "$corpus"
cp -n tests/serial/store/fuzz-seeds/* "$corpus"/
# Inputs past a few KiB add run time, not paths: the store reads every line the same way.
"$dir/tests/serial/store/tq_store_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -dict=tests/serial/store/store.dict -print_final_stats=1 -artifact_prefix="$dir/" "$corpus"
