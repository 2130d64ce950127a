#!/usr/bin/env bash
# Renders metafiles through our player and compares them with the reference renders.
#   scripts/fidelity.sh <build dir> <out dir> [samples|corpus]
# Needs the shared folder (QM_SHARED_DIR, default ../shared beside the source tree).
set -euo pipefail
build=${1:?build dir}; out=${2:?out dir}; set_name=${3:-corpus}
root=$(cd "$(dirname "$0")/.." && pwd)
shared=${QM_SHARED_DIR:-$root/../shared}
[ -d "$shared" ] || shared=$root/../../shared
# A private copy, so that rebuilding during a long run does not disturb it.
render=$(mktemp); trap 'rm -f "$render"' EXIT
cp "$build/bench/emf_render" "$render" && chmod +x "$render"
if [ "$set_name" = samples ]; then src="$shared/oracle/samples"; ref="$shared/oracle/refs/samples"
else src="$shared/corpus"; ref="$shared/oracle/refs/corpus"; fi
mkdir -p "$out"
find "$src" -name '*.emf' | sort | while read -r f; do
  rel=${f#"$src"/}; png="$out/${rel%.emf}.png"
  mkdir -p "$(dirname "$png")"
  timeout 90 "$render" "$f" "$png" >/dev/null 2>&1 || echo "render failed: $rel" >&2
done
python3 "$shared/oracle/compare.py" "$out" "$ref" ${DIFF:+--diff "$DIFF"}
