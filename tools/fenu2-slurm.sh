#!/usr/bin/env bash
# Runs a Fenu2 batch file on a Slurm cluster as a job array: task K of N
# reconstructs the K-th of N blocks of every run's slices (fenu2 -part K/N).
# A second job, started when every task has ended (afterany), lists the
# slices whose result files are missing and fails when there are any.
#
#   tools/fenu2-slurm.sh [options] BATCH [-- SBATCH-ARGS...]
#   tools/fenu2-slurm.sh --check BATCH     # the check alone, here and now
#
# Every task runs with auto_save_skip_existing on: the job runs a copy of the
# batch with that line in front, so a task that is submitted again (or the
# whole array) only does the slices whose files are not all there yet.
set -euo pipefail

usage() {
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
  cat <<'EOF'

Options:
  -n, --parts N        tasks of the array (default 4)
  -c, --cpus N         CPUs per task (sbatch --cpus-per-task)
  -m, --mem SIZE       memory per task (sbatch --mem, e.g. 16G)
  -p, --partition P    Slurm partition
  -J, --job-name NAME  job name (default fenu2)
      --fenu2 PATH     the program (default: build/fenu2 next to this script, else fenu2 on PATH)
      --no-skip        run the batch as it is, without auto_save_skip_existing 1
      --no-check       submit no check job
      --wait           wait until the array and the check job have ended (sbatch --wait);
                       the status is then the check job's
      --check          run the check here instead of submitting anything
Arguments after -- go to both sbatch calls as they are.
Output: fenu2-<job>_<task>.out per task and fenu2-<job>-check.out in the working directory.
EOF
}

here=$(cd "$(dirname "$0")" && pwd)
parts=4 cpus="" mem="" partition="" name=fenu2 fenu2="" skip=1 check=1 wait=0 checkNow=0
batch=""
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n|--parts) parts=$2; shift 2 ;;
    -c|--cpus) cpus=$2; shift 2 ;;
    -m|--mem) mem=$2; shift 2 ;;
    -p|--partition) partition=$2; shift 2 ;;
    -J|--job-name) name=$2; shift 2 ;;
    --fenu2) fenu2=$2; shift 2 ;;
    --no-skip) skip=0; shift ;;
    --no-check) check=0; shift ;;
    --wait) wait=1; shift ;;
    --check) checkNow=1; shift ;;
    -h|--help) usage; exit 0 ;;
    --) shift; extra=("$@"); break ;;
    -*) echo "fenu2-slurm: unknown option $1" >&2; exit 2 ;;
    *) [ -z "$batch" ] || { echo "fenu2-slurm: one batch file only" >&2; exit 2; }; batch=$1; shift ;;
  esac
done
[ -n "$batch" ] || { usage >&2; exit 2; }
[ -r "$batch" ] || { echo "fenu2-slurm: cannot read $batch" >&2; exit 2; }
case "$parts" in ''|*[!0-9]*|0) echo "fenu2-slurm: --parts needs a number >= 1" >&2; exit 2 ;; esac

if [ -z "$fenu2" ]; then
  if [ -x "$here/../build/fenu2" ]; then fenu2=$here/../build/fenu2; else fenu2=$(command -v fenu2 || true); fi
fi
[ -n "$fenu2" ] && [ -x "$fenu2" ] || { echo "fenu2-slurm: no fenu2 program (use --fenu2 PATH)" >&2; exit 2; }
fenu2=$(cd "$(dirname "$fenu2")" && pwd)/$(basename "$fenu2")

if [ "$checkNow" = 1 ]; then
  exec "$fenu2" -nw -e -b "$batch" -x -check
fi

# The tasks read the batch when they start, maybe hours from now: they get
# a copy, so that editing the original meanwhile changes nothing.
stamp=$(date +%Y%m%d-%H%M%S)-$$
run=$PWD/fenu2-slurm-$(basename "${batch%.*}")-$stamp.bat
{
  [ "$skip" = 1 ] && echo "auto_save_skip_existing 1"
  cat "$batch"
} >"$run"

opts=(--job-name="$name" --chdir="$PWD")
[ -n "$cpus" ] && opts+=(--cpus-per-task="$cpus")
[ -n "$mem" ] && opts+=(--mem="$mem")
[ -n "$partition" ] && opts+=(--partition="$partition")
waitOpt=()
[ "$wait" = 1 ] && waitOpt=(--wait)

# exec: the task's status is fenu2's (see "Exit statuses" in the README),
# so Slurm marks a failed part FAILED.
prog="exec $(printf %q "$fenu2") -nw -e -b $(printf %q "$run") -x"
arrayWait=()
[ "$check" = 0 ] && arrayWait=("${waitOpt[@]}")
jobid=$(sbatch --parsable --array=0-$((parts - 1)) --output="$PWD/fenu2-%A_%a.out" "${opts[@]}" "${extra[@]}" \
  "${arrayWait[@]}" --wrap "$prog -part \"\$SLURM_ARRAY_TASK_ID/\$SLURM_ARRAY_TASK_COUNT\"") && status=0 || status=$?
jobid=${jobid%%;*}
[ -n "$jobid" ] || exit "$status"
echo "Submitted job array $jobid: $parts tasks of $batch (batch copy $run)"
[ "$check" = 1 ] || exit "$status"

checkid=$(sbatch --parsable --dependency=afterany:"$jobid" --job-name="$name-check" --output="$PWD/fenu2-%j-check.out" \
  "${opts[@]}" "${extra[@]}" "${waitOpt[@]}" --wrap "$prog -check") && status=0 || status=$?
checkid=${checkid%%;*}
echo "Submitted check job $checkid (after $jobid): lists slices whose result files are missing, in fenu2-$checkid-check.out"
exit "$status"
