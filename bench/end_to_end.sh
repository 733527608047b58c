#!/usr/bin/env bash
# End to end, as a beam time runs it: a phantom data set of 720 projections
# 1024 pixels wide, a batch that loads it and reconstructs 16 slices on all
# workers with automatic saving of data and images, fenu2 with no window.
# Reports slices per second and the share of wall time spent outside the
# back projection. The back projection time is the program's own per-slice
# measurement (CPU time of the worker's thread in the back projection,
# printed with the configuration key slice_timing 1), summed over the
# slices and divided by the workers that ran them side by side.
# Also the program's CPU time and the share of it outside the back
# projection, which other jobs on the machine do not change.
# Runs PNG images at the image writer's default compression, then at zlib
# level 1 (configuration key png_compression 1), then level 1 without the
# data files, to show what writing the data text costs.
#   bench/end_to_end.sh [build dir]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
for exe in "$build/fenu2" "$build/tools/fenu2-phantom"; do
  [ -x "$exe" ] || { echo "missing $exe: build first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/tools/fenu2-phantom" -W 1024 -H 32 -n 720 -c 511.5 -o phantom > /dev/null
# On disk before the runs, as a beam time's data are: otherwise the kernel
# writes the fresh data set back while the first run reads it.
sync

cat > run.bat <<'EOF'
ct_rot_ax_is_h            0
ct_cor                    511.5
images_load               phantom proj-*.img
i0_load                   phantom/flat.img
bg_load                   phantom/dark.img
calc_ct2                  1
ct_auto_exec              1
ct_slice_from             8
ct_slice_to               23
ct_threads                4096
auto_save_data            1
auto_save_data_path       out/data
auto_save_image           1
auto_save_image_path      out/img
calc_exec
EOF

# $1: the configuration's png_compression, empty for the default;
# $2: "nodata" to save images only.
run_once() {
  rm -rf out
  if [ "${2:-}" = nodata ]; then sed 's/^auto_save_data .*/auto_save_data 0/' run.bat > this.bat; else cp run.bat this.bat; fi
  echo "slice_timing 1" > config.cfg
  if [ -n "$1" ]; then echo "png_compression $1" >> config.cfg; fi
  local start end cpu
  start=$(date +%s.%N)
  # User plus system CPU time of the program: the wall-time shares below
  # mean little on a machine other jobs are loading, this one still does.
  cpu=$( { TIMEFORMAT='%U %S'; time "$build/fenu2" -nw -e -b this.bat -x > console.txt 2> diagnostics.txt; } 2>&1 )
  end=$(date +%s.%N)

  local saved images workers summary slices run bp pngbytes
  saved=$(find out -name '*.dat' | wc -l)
  images=$(find out -name '*.png' | wc -l)
  pngbytes=$(find out -name '*.png' -printf '%s\n' | awk '{ s += $1 } END { print s }')
  workers=$(nproc)
  summary=$(grep '^Reconstruction run ended' console.txt)
  # "Reconstruction run ended: 16 slices, 9.87 s, back projection 15.2 s in all"
  slices=$(sed -E 's/.*: ([0-9]+) slices.*/\1/' <<< "$summary")
  run=$(sed -E 's/.*slices, ([0-9.e+-]+) s.*/\1/' <<< "$summary")
  bp=$(sed -E 's/.*back projection ([0-9.e+-]+) s.*/\1/' <<< "$summary")

  echo "== PNG compression: ${1:-default}${2:+, $2}"
  awk -v s="$slices" -v run="$run" -v bp="$bp" -v w="$workers" -v t0="$start" -v t1="$end" \
      -v dat="$saved" -v png="$images" -v pngb="$pngbytes" -v cpu="$cpu" 'BEGIN {
    total = t1 - t0
    printf "slices %d (%d data files, %d images of %.0f kB on average), workers %d\n", s, dat, png, png ? pngb / png / 1000 : 0, w
    printf "reconstruction run: %.3f s, %.2f slices/s\n", run, s / run
    printf "whole program (start, load 720 files, run, last file written): %.3f s, %.2f slices/s\n", total, s / total
    printf "back projection: %.3f s over all slices, %.3f s of wall time on %d workers\n", bp, bp / w, w
    printf "share outside the back projection: run %.1f %%, whole program %.1f %%\n", 100 * (1 - bp / w / run), 100 * (1 - bp / w / total)
    split(cpu, c, " ")
    printf "CPU time of the program: %.3f s, outside the back projection %.1f %%\n", c[1] + c[2], 100 * (1 - bp / (c[1] + c[2]))
  }'
}

run_once ""
run_once 1
run_once 1 nodata
