#!/usr/bin/env bash
# A one-machine Slurm cluster for trying and testing the job-array script,
# from Debian 12's own packages, without systemd and without cgroups. Run as
# root.
#
#   tools/slurm-single-node.sh start   # install, configure, start what is not running
#   tools/slurm-single-node.sh stop [NAMES]  # stop the daemons this script started
#
# start prints nothing else on standard output than the names of the daemons
# it started; stop ends only those (their process ids are kept in
# /run/fenu2-slurm/), never a daemon that was running before.
set -euo pipefail

state=/run/fenu2-slurm
conf=/etc/slurm/slurm.conf
marker="# single-node cluster of fenu2's tools/slurm-single-node.sh"

log() { echo "slurm-single-node: $*" >&2; }

[ "$(id -u)" = 0 ] || { log "run as root"; exit 1; }

install_packages() {
  local missing=()
  for p in munge slurmctld slurmd slurm-client; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  log "installing ${missing[*]}"
  apt-get update -qq >&2
  # Their maintainer scripts would start services; there is no init here.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

configure() {
  install -d -o munge -g munge -m 700 /etc/munge
  if [ ! -s /etc/munge/munge.key ]; then
    dd if=/dev/urandom of=/etc/munge/munge.key bs=1024 count=1 status=none
  fi
  chown munge:munge /etc/munge/munge.key
  chmod 400 /etc/munge/munge.key
  install -d -o munge -g munge /run/munge /var/lib/munge /var/log/munge
  install -d /var/spool/slurmctld /var/spool/slurmd /var/log/slurm /etc/slurm "$state"

  # Someone else's configuration is left alone.
  if [ -e "$conf" ] && ! grep -qF "$marker" "$conf"; then
    log "$conf exists and was not written by this script; using it as it is"
    return
  fi
  local host cpus mem
  host=$(hostname -s)
  cpus=$(nproc)
  mem=$(awk '/^MemTotal:/ { printf "%d", $2 / 1024 * 0.9 }' /proc/meminfo)
  cat >"$conf" <<EOF
$marker
ClusterName=fenu2test
SlurmctldHost=$host
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmUser=root
SlurmdUser=root
StateSaveLocation=/var/spool/slurmctld
SlurmdSpoolDir=/var/spool/slurmd
SlurmctldPidFile=/run/slurmctld.pid
SlurmdPidFile=/run/slurmd.pid
SlurmctldLogFile=/var/log/slurm/slurmctld.log
SlurmdLogFile=/var/log/slurm/slurmd.log
MpiDefault=none
NodeName=$host CPUs=$cpus RealMemory=$mem State=UNKNOWN
PartitionName=debug Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

# The process id in a pid file, when that process is still alive.
alive() {
  local pid
  [ -s "$1" ] || return 1
  pid=$(cat "$1")
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

start_daemon() { # name pidfile command...
  local name=$1 pidfile=$2
  shift 2
  if alive "$pidfile" >/dev/null; then
    log "$name is running already"
    return
  fi
  "$@"
  for _ in $(seq 50); do
    alive "$pidfile" >/dev/null && break
    sleep 0.1
  done
  local pid
  pid=$(alive "$pidfile") || { log "$name did not start"; exit 1; }
  echo "$pid" >"$state/$name.pid"
  echo "$name"
}

start() {
  install_packages
  configure
  start_daemon munged /run/munge/munged.pid su -s /bin/sh munge -c /usr/sbin/munged
  start_daemon slurmctld /run/slurmctld.pid /usr/sbin/slurmctld
  start_daemon slurmd /run/slurmd.pid /usr/sbin/slurmd
  for _ in $(seq 60); do
    if sinfo -h -o %T 2>/dev/null | grep -qE '^(idle|mixed|allocated)'; then
      log "node $(hostname -s) is up: $(sinfo -h -o '%P %T %c CPUs %m MB')"
      return
    fi
    sleep 0.5
  done
  log "the node did not come up; see /var/log/slurm/"
  exit 1
}

stop() {
  # Reverse order: slurmd, slurmctld, munged; only the named ones when given.
  local only=" $* "
  for name in slurmd slurmctld munged; do
    [ $# -eq 0 ] || [[ "$only" == *" $name "* ]] || continue
    local f=$state/$name.pid
    [ -s "$f" ] || continue
    local pid
    pid=$(cat "$f")
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid"
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      log "stopped $name ($pid)"
    fi
    rm -f "$f"
  done
}

case "${1:-}" in
  start) start ;;
  stop) shift; stop "$@" ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
