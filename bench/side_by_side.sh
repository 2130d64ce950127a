#!/usr/bin/env bash
# Side-by-side throughput of our console converter and an office suite's headless converter
# (LibreOffice) on one folder of metafiles, PNG output with default settings, in the same run.
#   bench/side_by_side.sh <quellmark executable> [set folder] [work folder]
# The set defaults to ../shared/corpus/libemf2svg. Two lists are measured: the set without the
# pictures over 100 megapixels ("small") and the whole set ("all"). Each list is converted
#   per-file: one process per file, one file after the other (the whole set's row adds the
#             small list's and the large pictures' ("big") runs, so no file runs twice);
#   folder:   one process for the whole list (quellmark on every core, quellmark1 on one
#             thread).
# The two tools take turns, case by case, so that both see the same load. Times are wall
# clock and CPU (user + system, children included) from /usr/bin/time. LibreOffice is not a
# dependency of the project: install it for the measurement only (libreoffice-core,
# libreoffice-draw from Debian). QM_SIDE_SKIP_OFFICE=1 measures our converter alone;
# QM_SIDE_KEEP=1 keeps the outputs (several GB for sets with large pictures).
set -euo pipefail
qm=$(realpath "${1:?quellmark executable}")
root=$(cd "$(dirname "$0")/.." && pwd)
set_dir=$(realpath "${2:-${QM_SHARED_DIR:-$root/../shared}/corpus/libemf2svg}")
work=${3:-$(mktemp -d)}
mkdir -p "$work"
work=$(realpath "$work")
office=$(command -v soffice || true)
[ "${QM_SIDE_SKIP_OFFICE:-0}" = 1 ] && office=""

# Picture size in megapixels from the header: frame (0.01 mm) through device pixels per mm.
megapixels() {
    python3 - "$@" <<'EOF'
import struct, sys
def f32(v): return struct.unpack('<f', struct.pack('<f', v))[0]
for p in sys.argv[1:]:
    b = open(p, 'rb').read(88)
    mp = 0.0
    if len(b) == 88 and struct.unpack_from('<I', b)[0] == 1:
        fl, ft, fr, fb = struct.unpack_from('<4i', b, 24)
        dcx, dcy, mcx, mcy = struct.unpack_from('<4i', b, 72)
        if min(dcx, dcy, mcx, mcy) > 0:
            px = lambda v, d, m: f32(f32(f32(v) * d) / f32(m * 100.0))
            w = round(abs(px(fl, dcx, mcx) - px(fr, dcx, mcx)))
            h = round(abs(px(ft, dcy, mcy) - px(fb, dcy, mcy)))
            mp = (w + 1) * (h + 1) / 1e6
    print(f"{mp:.1f} {p}")
EOF
}

# The lists, as folders of links (the folder runs need a folder).
rm -rf "$work/in" && mkdir -p "$work/in/small" "$work/in/big" "$work/in/all"
mapfile -t files < <(find "$set_dir" -maxdepth 1 -iname '*.emf' | sort)
[ ${#files[@]} -gt 0 ] || { echo "no metafiles in $set_dir"; exit 1; }
big=0
while read -r mp path; do
    ln -s "$path" "$work/in/all/"
    if awk -v m="$mp" 'BEGIN { exit !(m > 100) }'; then
        big=$((big + 1))
        ln -s "$path" "$work/in/big/"
    else
        ln -s "$path" "$work/in/small/"
    fi
done < <(megapixels "${files[@]}")

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
profile="file://$work/office-profile"

# Megapixels of the PNG files below a folder, from their headers.
png_megapixels() {
    find "$1" -name '*.png' -print0 | python3 -c '
import struct, sys
total = 0
for p in sys.stdin.buffer.read().split(b"\0"):
    if p:
        h = open(p, "rb").read(24)
        if len(h) == 24 and h[12:16] == b"IHDR":
            w, ht = struct.unpack(">II", h[16:24])
            total += w * ht
print(f"{total / 1e6:.1f}")'
}

# Runs one case under /usr/bin/time: prints "wall cpu files_out MB_out MP_out".
timed() { # name out_dir command...
    local name=$1 out=$2
    shift 2
    rm -rf "$out" && mkdir -p "$out"
    # Earlier cases' outputs are written back first, so that no case waits for them.
    sync
    /usr/bin/time -f '%e %U %S' -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 || true
    read -r wall user sys <"$work/$name.time"
    local n bytes
    n=$(find "$out" -name '*.png' | wc -l)
    bytes=$(find "$out" -name '*.png' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    awk -v w="$wall" -v u="$user" -v s="$sys" -v n="$n" -v b="$bytes" -v mp="$(png_megapixels "$out")" \
        'BEGIN { printf "%8.1f %8.1f %6d %9.1f %9.1f", w, u + s, n, b / 1e6, mp }'
    # Uncompressed outputs of the large pictures fill a disk fast: kept only when asked for.
    [ "${QM_SIDE_KEEP:-0}" = 1 ] || rm -rf "$out"
}

per_file_qm() { # list_dir out_dir
    for f in "$1"/*; do [ -e "$f" ] && "$qm" -q -i "$(realpath "$f")" -o "$2" -c png; done
}
per_file_office() {
    for f in "$1"/*; do
        [ -e "$f" ] || continue
        "$office" -env:UserInstallation="$profile" --headless --convert-to png --outdir "$2" "$f"
    done
}
folder_qm() { "$qm" -q -i "$1" -o "$2" -c png; }
folder_qm1() { "$qm" -q -i "$1" -o "$2" -c png --threads=1; }
folder_office() {
    "$office" -env:UserInstallation="$profile" --headless --convert-to png --outdir "$2" "$1"/*
}
export -f per_file_qm per_file_office folder_qm folder_qm1 folder_office
export qm office profile

# The office suite makes its profile on first start: not part of any measurement.
if [ -n "$office" ]; then
    first=$(find "$work/in/small" -mindepth 1 | head -n 1)
    "$office" -env:UserInstallation="$profile" --headless --convert-to png \
        --outdir "$work/warm" "$first" >/dev/null 2>&1 || true
fi

echo "set: $set_dir: ${#files[@]} files, $big over 100 megapixels"
echo "small: $(find "$work/in/small" -mindepth 1 | wc -l) files; all: ${#files[@]} files"
echo "machine: $(nproc) cores; $(LC_ALL=C uptime | sed 's/.*load/load/')"
echo "quellmark: $qm"
[ -n "$office" ] && echo "office: $("$office" --version 2>/dev/null | head -n 1)"
printf '%-6s %-9s %-10s %8s %8s %6s %9s %9s %8s\n' list mode tool wall_s cpu_s files out_MB out_MP files/s
row() { # list mode tool wall cpu files MB MP
    printf '%-6s %-9s %-10s %8.1f %8.1f %6d %9.1f %9.1f %8.2f\n' "$@" \
        "$(awk -v n="$6" -v w="$4" 'BEGIN { print (w > 0 ? n / w : 0) }')"
}
for run in small:per-file big:per-file small:folder all:folder; do
    list=${run%:*} mode=${run#*:}
    tools="quellmark office"
    [ "$mode" = folder ] && tools="quellmark quellmark1 office"
    for tool in $tools; do
        [ "$tool" = office ] && [ -z "$office" ] && continue
        fn=${mode/per-file/per_file}_${tool/quellmark/qm}
        name=$list-$mode-$tool
        timed "$name" "$work/out/$name" bash -c "$fn \"\$0\" \"\$1\"" "$work/in/$list" \
            "$work/out/$name" >"$work/$name.row"
        row "$list" "$mode" "$tool" $(cat "$work/$name.row")
        if [ "$list" = big ]; then # the whole set, one process per file
            row all per-file "$tool" $(paste -d' ' "$work/small-$mode-$tool.row" "$work/$name.row" |
                awk '{ print $1 + $6, $2 + $7, $3 + $8, $4 + $9, $5 + $10 }')
        fi
    done
done
echo "after: $(LC_ALL=C uptime | sed 's/.*load/load/')"
echo "logs: $work"
