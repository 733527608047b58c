#!/usr/bin/env bash
# Band-wise loading: a window-less run of 16 slices from a 2048 x 2048 x 720
# set of 16-bit projections holds only the detector rows of its slices;
# the same run with the configuration key whole_frames 1 holds every whole
# frame, as the window does. Reports each run's peak memory (maximum
# resident set) against the set's size, and the ratio of their wall times.
# A third run with band_memory set to a quarter of the slices' lines works
# through the slices in four bands.
#   bench/band_wise.sh [build dir] [set dir]
# The set (about 6 GB) is written into the set dir (default: a temporary
# folder, deleted afterwards) unless it holds it already; a given set dir is
# kept for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
for exe in "$build/fenu2" "$build/tools/fenu2-phantom"; do
  [ -x "$exe" ] || { echo "missing $exe: build first" >&2; exit 1; }
done
size=${FENU2_BM_BAND_SIZE:-2048}
count=${FENU2_BM_BAND_COUNT:-720}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
set_dir=$(realpath -m "${2:-$work/set}")
if [ "$(ls "$set_dir"/proj-*.img 2> /dev/null | wc -l)" -ne "$count" ]; then
  "$build/tools/fenu2-phantom" -W "$size" -H "$size" -n "$count" -o "$set_dir" > /dev/null
fi
cd "$work"
first=$((size / 2 - 8))
cat > run.bat <<EOF
ct_rot_ax_is_h            0
ct_cor                    $((size / 2)).5
images_load               $set_dir proj-*.img
i0_load                   $set_dir/flat.img
bg_load                   $set_dir/dark.img
calc_ct2                  1
ct_auto_exec              1
ct_slice_from             $first
ct_slice_to               $((first + 15))
ct_threads                4096
auto_save_data            1
auto_save_data_path       out/data
auto_save_image           0
calc_exec
EOF

set_bytes=$(du -cb "$set_dir"/proj-*.img | tail -1 | cut -f1)
# One slice's rows of every projection.
line_bytes=$((size * 2 * count))

# $1: label, $2: configuration lines. Prints "<peak kB> <wall s>".
run_once() {
  rm -rf out
  printf '%b' "$2" > config.cfg
  /usr/bin/time -f '%M %e' -o time.txt "$build/fenu2" -nw -e -b run.bat -x > console.txt 2> diagnostics.txt \
    || { echo "$1: fenu2 failed" >&2; cat diagnostics.txt >&2; exit 1; }
  [ "$(find out -name '*.dat' | wc -l)" -eq 16 ] || { echo "$1: not 16 data files" >&2; exit 1; }
  (cd out && find . -type f -exec md5sum {} + | sort) > "sums-$1.txt"
  cat time.txt
}

whole=$(run_once whole "whole_frames 1\n")
bands=$(run_once lines "")
four=$(run_once four "band_memory $((line_bytes * 4))\n")
cmp -s sums-whole.txt sums-lines.txt && cmp -s sums-whole.txt sums-four.txt \
  && same="identical" || same="DIFFERENT"

awk -v set="$set_bytes" -v w="$whole" -v b="$bands" -v f="$four" -v same="$same" 'BEGIN {
  split(w, W, " "); split(b, B, " "); split(f, F, " ")
  printf "set: %.0f MB; results of the three runs: %s\n", set / 1e6, same
  printf "whole frames:          peak %6.0f MB (%.3f of the set), %.2f s\n", W[1] / 1000, W[1] * 1024 / set, W[2]
  printf "lines of the slices:   peak %6.0f MB (%.3f of the set), %.2f s, %.2fx the time\n", B[1] / 1000, B[1] * 1024 / set, B[2], B[2] / W[2]
  printf "four bands:            peak %6.0f MB (%.3f of the set), %.2f s, %.2fx the time\n", F[1] / 1000, F[1] * 1024 / set, F[2], F[2] / W[2]
}'
