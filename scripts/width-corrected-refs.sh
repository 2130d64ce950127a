#!/usr/bin/env bash
# Renders reference pictures of the corpus through the oracle with an "Arial" that states
# Arial's own average character width, laid out as oracle/refs/corpus, for
#   QM_REF_DIR=<out> scripts/fidelity.sh <build> <dir> corpus
# The stock references take Arial's widths from its substitute, whose stated average width is
# about 30% larger, so every logical font that gives a width comes out that much narrower.
#   scripts/width-corrected-refs.sh <out dir>
set -euo pipefail
out=${1:?out dir}
root=$(cd "$(dirname "$0")/.." && pwd)
shared=${QM_SHARED_DIR:-$root/../shared}
[ -d "$shared" ] || shared=$root/../../shared
src=/usr/share/fonts/truetype/liberation2
export ORACLE_SMOOTHING=gray ORACLE_WINEPREFIX=${ORACLE_WINEPREFIX:-/tmp/qm-oracle-arial-width}
# Creates the prefix, then adds the fonts: Windows' font folder wins over the replacements.
"$shared/oracle/render.sh" --probe-fonts Arial >/dev/null
fonts=$ORACLE_WINEPREFIX/drive_c/windows/Fonts
python3 "$root/scripts/avg_width_font.py" $src/LiberationSans-Regular.ttf $fonts/qm-arial.ttf Arial Regular 904
python3 "$root/scripts/avg_width_font.py" $src/LiberationSans-Bold.ttf $fonts/qm-arialbd.ttf Arial Bold 983
python3 "$root/scripts/avg_width_font.py" $src/LiberationSans-Italic.ttf $fonts/qm-ariali.ttf Arial Italic 904
python3 "$root/scripts/avg_width_font.py" $src/LiberationSans-BoldItalic.ttf $fonts/qm-arialbi.ttf Arial "Bold Italic" 983
"$shared/oracle/render.sh" --probe-fonts Arial
for set in corrupted libemf2svg libuemf pdf-exports pillow; do
  "$shared/oracle/render.sh" "$out/$set" "$shared/corpus/$set" || true
done
