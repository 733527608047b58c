#!/usr/bin/env bash
# ./test.sh --slurm: a 4-task job array over a generated set against one run
# of the same batch on this machine; the two file sets must be equal byte for
# byte. Brings up the one-machine cluster when it is not running and stops
# afterwards the daemons it started. Needs root (see tools/slurm-single-node.sh).
#   tools/slurm-test.sh BUILD-DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
fenu2=$build/fenu2
phantom=$build/tools/fenu2-phantom
parts=4

started=$("$here/slurm-single-node.sh" start)
work=$(mktemp -d /tmp/fenu2-slurm-test.XXXXXX)
cleanup() {
  # shellcheck disable=SC2086
  [ -z "$started" ] || "$here/slurm-single-node.sh" stop $started
  rm -rf "$work"
}
trap cleanup EXIT
echo "daemons started for this test: $(echo ${started:-none})"

cd "$work"
"$phantom" -W 256 -H 48 -n 180 -c 127.5 -a v -o phantom >/dev/null
batch() { # output folder
  cat <<EOF
ct_rot_ax_is_h 0
ct_cor 127.5
images_load phantom proj-*.img
i0_load phantom/flat.img
bg_load phantom/dark.img
calc_ct2 1
ct_auto_exec 1
ct_threads 2
ct_slice_from 2
ct_slice_to 45
ct_slice_step 1
auto_save_in_sub_folders 1
auto_save_data 1
auto_save_data_tiff 1
auto_save_data_path $1
auto_save_data_tag t
auto_save_image 1
auto_save_image_path $1
auto_save_image_tag t
calc_exec
EOF
}
batch ref >ref.bat
batch out >array.bat

echo "== one run on this machine"
"$fenu2" -nw -e -b ref.bat -x 2>ref.log | tail -1

echo "== $parts-task job array"
submit() { # the array and its check job; sets checkStatus
  set +e
  "$here/fenu2-slurm.sh" -n "$parts" -c 1 --fenu2 "$fenu2" --wait array.bat
  checkStatus=$?
  set -e
  for f in fenu2-*_*.out; do
    echo "-- $f: $(grep -c ' done: ' "$f") slices; $(grep 'run ended' "$f")"
  done
  echo "-- check job: $(grep -h '^Checked' fenu2-*-check.out) (status $checkStatus)"
  echo "-- squeue afterwards: $(squeue -h | wc -l) jobs left"
  mkdir -p "logs$1" && mv fenu2-*.out "logs$1/"
}
submit 1

echo "== the same array again after losing one file of slice 10 and all of slice 30"
rm out/00010/t-00010.png out/00030/*
submit 2
redone=$(cat logs2/fenu2-*_*.out | grep -c ' done: ' || true)
[ "$redone" = 2 ] || { echo "FAIL: $redone slices redone instead of 2"; exit 1; }

echo "== compare"
refFiles=$(cd ref && find . -type f | sort)
outFiles=$(cd out && find . -type f | sort)
nRef=$(echo "$refFiles" | wc -l)
if [ "$refFiles" != "$outFiles" ]; then
  echo "FAIL: the file sets differ"
  diff <(echo "$refFiles") <(echo "$outFiles") | head -20
  exit 1
fi
if ! diff -r ref out >/dev/null; then
  echo "FAIL: files differ in content"
  diff -rq ref out | head -20
  exit 1
fi
[ "$checkStatus" = 0 ] || { echo "FAIL: the check job reported missing slices"; exit 1; }
echo "PASS: $nRef files of $parts array tasks equal byte for byte to one run's"
