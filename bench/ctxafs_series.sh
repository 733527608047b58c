#!/usr/bin/env bash
# A CT-XAFS series as a beam time runs it: three data sets of 720
# projections 1024 pixels wide, 16 slices each, automatic saving of data and
# images, reconstructed by one window-less batch loop (seq_exec_set,
# calc_exec, seq_exec_next), against the same three sets reconstructed by
# three window-less runs one after another. The loop should add nothing
# beyond its loads and runs: reports both times and their ratio (goal at
# most 1.05). Each is the best of a few repetitions.
#   bench/ctxafs_series.sh [build dir] [repetitions]   (default: build 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
reps=${2:-3}
for exe in "$build/fenu2" "$build/tools/fenu2-phantom"; do
  [ -x "$exe" ] || { echo "missing $exe: build first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
energies=(7105 7115 7125)
"$build/tools/fenu2-phantom" --energies "$(IFS=,; echo "${energies[*]}")" --i0-energies 7100,7110,7120,7150 \
  -W 1024 -H 32 -n 720 -c 511.5 -o series > /dev/null

settings() {
  cat <<EOF
ct_rot_ax_is_h            0
ct_cor                    511.5
bg_load                   series/dark.img
calc_ct2                  1
ct_auto_exec              1
ct_slice_from             8
ct_slice_to               23
ct_threads                4096
auto_save_data            1
auto_save_data_path       out/data
auto_save_image           1
auto_save_image_path      out/img
EOF
}

{ settings; cat <<'EOF'
seq_exec_select_i0        series/i0 *.img
add_inf_VKR_standard      1
seq_exec_dir              series/data
:loop
seq_exec_set
calc_exec
seq_exec_next
:ifok :goto :loop
EOF
} > loop.bat

# One set alone, with the I0 image the loop picks for it (nearest in energy,
# the earlier one on a tie).
i0s=(7100 7110 7120)
for k in 0 1 2; do
  { settings; cat <<EOF
images_load               series/data proj-${energies[k]}_0eV-*.img
i0_load                   series/i0/i0-${i0s[k]}_0eV-00000.img
auto_save_data_tag        ${energies[k]}_0eV
auto_save_image_tag       ${energies[k]}_0eV
calc_exec
EOF
  } > single$k.bat
done

seconds() { # command... -> wall seconds
  local t0 t1
  t0=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}
best() { printf '%s\n' "$@" | sort -g | head -1; }

loops=(); singles=()
for ((r = 0; r < reps; r++)); do
  rm -rf out
  loops+=("$(seconds "$build/fenu2" -nw -e -b loop.bat -x)")
  [ "$(find out/data -name '*.dat' | wc -l)" -eq 48 ] || { echo "loop: not 48 data files" >&2; exit 1; }
  rm -rf out
  sum=0
  for k in 0 1 2; do
    sum=$(echo "$sum + $(seconds "$build/fenu2" -nw -e -b single$k.bat -x)" | bc -l)
  done
  [ "$(find out/data -name '*.dat' | wc -l)" -eq 48 ] || { echo "singles: not 48 data files" >&2; exit 1; }
  singles+=("$sum")
done
loop=$(best "${loops[@]}")
single=$(best "${singles[@]}")
printf 'series loop  %.2f s (3 sets, 720 x 1024 x 32, 16 slices each)\n' "$loop"
printf 'one by one   %.2f s (sum of three runs)\n' "$single"
printf 'ratio        %.3f (goal <= 1.05)\n' "$(echo "$loop / $single" | bc -l)"
