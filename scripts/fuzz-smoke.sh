#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzzer build for a while each.
#   scripts/fuzz-smoke.sh <build dir with BUILD_FUZZERS=ON> <seconds per target>
# Seeds: fuzz/corpus/<target>, plus the shared metafile corpus when it is there.
set -euo pipefail
build=${1:?build dir}; seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
shared=${QM_SHARED_DIR:-$root/../shared}
[ -d "$shared" ] || shared=$root/../../shared
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
# fontconfig and cairo keep process-lifetime caches that LeakSanitizer would report.
export LSAN_OPTIONS="suppressions=$root/.ci/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
extra=()
run() { # name seed-dirs...   (extra libFuzzer flags in the array extra)
  local bin="$build/fuzz/$1"; shift
  [ -x "$bin" ] || { echo "fuzz-smoke: $bin missing, skipped"; return 0; }
  mkdir -p "$work/$(basename "$bin")"
  local seeds=()
  for d in "$@"; do [ -d "$d" ] && seeds+=("$d"); done
  "$bin" -seed=1 -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=5 -max_len=1048576 \
    -artifact_prefix="$work/" "${extra[@]}" "$work/$(basename "$bin")" "${seeds[@]}"
}
run emf_player_fuzzer "$root/fuzz/corpus/emf" "$shared/corpus" "$shared/oracle/samples"
run emfplus_fuzzer "$root/fuzz/corpus/emfplus"
run wmf_fuzzer "$root/fuzz/corpus/wmf"
run ini_fuzzer "$root/fuzz/corpus/ini"
run theme_fuzzer "$root/fuzz/corpus/theme"
