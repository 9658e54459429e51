#!/usr/bin/env bash
# Runs the state fuzzer: first every committed case once (the regression run), then
# fuzzing for FUZZ_SECONDS (60 by default) from the committed corpus. The committed corpus
# is not touched; new inputs go to a scratch copy and anything that fails is written to
# the build directory, to be added to fuzz/corpus/state as a regression case.
set -euo pipefail
fuzzer="$1"
build_dir="$(dirname "$fuzzer")"
here="$(cd "$(dirname "$0")" && pwd)"
seconds="${FUZZ_SECONDS:-60}"
corpus="$here/corpus/state"
scratch="$build_dir/corpus-state"
artifacts="$build_dir/artifacts/"
mkdir -p "$scratch" "$artifacts"

# The framework's leak detector reports at exit; LeakSanitizer does the same job.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:suppressions=$here/ubsan.supp}"

flags=(-max_len=262144 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts")

echo "fuzz: regression run over $(ls "$corpus" | wc -l) committed cases"
"$fuzzer" "${flags[@]}" -runs=0 "$corpus"

echo "fuzz: fuzzing for ${seconds} s"
"$fuzzer" "${flags[@]}" -max_total_time="$seconds" -print_final_stats=1 "$scratch" "$corpus"
