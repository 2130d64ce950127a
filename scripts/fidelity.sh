#!/usr/bin/env bash
# Renders metafiles through our player and compares them with the reference renders.
#   scripts/fidelity.sh <build dir> <out dir> [samples|corpus]
# Needs the shared folder (QM_SHARED_DIR, default ../shared beside the source tree) and the
# build's bench/emf_render and bench/emf_compare (BUILD_BENCHMARKS=ON). QM_REF_DIR names
# another folder of reference renders (same layout) to compare against.
set -euo pipefail
build=${1:?build dir}; out=${2:?out dir}; set_name=${3:-corpus}
root=$(cd "$(dirname "$0")/.." && pwd)
shared=${QM_SHARED_DIR:-$root/../shared}
[ -d "$shared" ] || shared=$root/../../shared
# Private copies, so that rebuilding during a long run does not disturb it.
tools=$(mktemp -d); trap 'rm -rf "$tools"' EXIT
cp "$build/bench/emf_render" "$build/bench/emf_compare" "$tools/"
if [ "$set_name" = samples ]; then src="$shared/oracle/samples"; ref="$shared/oracle/refs/samples"
else src="$shared/corpus"; ref="$shared/oracle/refs/corpus"; fi
ref=${QM_REF_DIR:-$ref}
mkdir -p "$out"
find "$src" -name '*.emf' | sort | while read -r f; do
  rel=${f#"$src"/}; name=${rel%.emf}; png="$out/$name.png"
  mkdir -p "$(dirname "$png")"
  if ! timeout 90 "$tools/emf_render" "$f" "$png" >/dev/null 2>&1; then
    echo "$name  NOT RENDERED"; continue
  fi
  if [ -f "$ref/$name.png" ]; then "$tools/emf_compare" "$png" "$ref/$name.png" "$name"
  else echo "$name  NO REFERENCE"; fi
done | tee "$out/fidelity.txt"
awk '/inkIoU=/ { n++; m += substr($3, 7) + 0; i += substr($NF, 8) + 0 }
     END { if (n) printf "SUMMARY compared=%d mean_match=%.2f%% mean_inkIoU=%.4f\n", n, m / n, i / n }' \
  "$out/fidelity.txt"
