#!/usr/bin/env bash
# Measurement samples recorded and played through Wine (not a build dependency; needs wine and
# x86_64-w64-mingw32-gcc, as the reference renderer does):
#   scripts/wine-probe.sh record OUTDIR     raster-font sizes, turned text with each alignment,
#                                           TA_UPDATECP, recorded by Wine's GDI
#   scripts/wine-probe.sh gprecord OUTDIR   small EMF+ files recorded by Wine's GDI+
#   scripts/wine-probe.sh gpplay OUTDIR FILE.emf...   each played by Wine's GDI+ into
#                                           OUTDIR/<name>.png, (W+1) x (H+1) like the references
# The GDI samples are then rendered by the reference renderer and by bench/emf_render and
# compared with bench/emf_compare. Uses the prefix of scripts/width-corrected-refs.sh.
set -euo pipefail
mode=${1:?mode}; out=${2:?out dir}; shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
shared=${QM_SHARED_DIR:-$root/../shared}
[ -d "$shared" ] || shared=$root/../../shared
export WINEPREFIX=${ORACLE_WINEPREFIX:-/tmp/qm-oracle-arial-width} WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
[ -f "$WINEPREFIX/system.reg" ] || { echo "run scripts/width-corrected-refs.sh first (it makes $WINEPREFIX)" >&2; exit 2; }
conf=$(ls "$WINEPREFIX"/emf-oracle-fonts-*.conf 2>/dev/null | head -1 || true)
[ -n "$conf" ] && export FONTCONFIG_FILE=$conf
exe=$(mktemp -d)/wine_probe.exe
x86_64-w64-mingw32-gcc -O2 -Wall -municode -o "$exe" "$root/scripts/wine_probe.c" -lgdiplus -lgdi32
mkdir -p "$out"
winpath() { echo "Z:$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'; }
case "$mode" in
record | gprecord) wine "$exe" "$mode" "$(winpath "$out/.")" ;;
gpplay)
  for f in "$@"; do
    n=$(basename "$f" .emf)
    wine "$exe" gpplay "$(winpath "$f")" "$(winpath "$out/$n.bmp")" | tr -d '\r'
    python3 "$shared/oracle/bmp2png.py" "$out/$n.bmp" "$out/$n.png" && rm -f "$out/$n.bmp"
  done ;;
*) echo "unknown mode $mode" >&2; exit 1 ;;
esac
