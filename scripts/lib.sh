# Shared by the project's scripts: install missing Debian packages, pick a
# parallelism that fits the machine, note for the summary of scripts/test.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)
_apt_updated=0
# Why the last install failed, in apt's words (set by _install).
APT_REASON=""

_sudo() {
  if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# An index that cannot be fetched (a mirror in the middle of a sync) fails
# the whole `apt-get update`, yet the lists that did download still serve
# every package they hold: say so in one line and go on.
_apt_update_once() {
  [ "$_apt_updated" -eq 1 ] && return 0
  _apt_updated=1
  local out rc=0
  out=$(_sudo apt-get update -qq 2>&1) || rc=$?
  [ "$rc" -eq 0 ] && return 0
  local first
  first=$(printf '%s\n' "$out" | grep -m1 '^E: ' | sed 's/^E: //; s/ \[IP: [^]]*\]//' || true)
  echo "NOTE apt-get update failed (exit $rc): ${first:-no reason given}; installing from the package lists it could fetch"
  return 0
}

# apt's own reason for a failed install: its first error line, and the first
# unmet dependency, which says more than "held broken packages".
_apt_reason() {
  local out=$1 error depends
  error=$(printf '%s\n' "$out" | grep -m1 '^E: ' | sed 's/^E: //' || true)
  depends=$(printf '%s\n' "$out" | grep -m1 'Depends:' | sed 's/^ *//; s/  */ /g' || true)
  if [ -n "$depends" ]; then
    echo "${error:-apt-get install failed} ($depends)"
  else
    echo "${error:-apt-get install failed}"
  fi
}

# _install PKG...: installs them in one go; on failure sets APT_REASON.
_install() {
  local out rc=0
  out=$(DEBIAN_FRONTEND=noninteractive _sudo apt-get install -y -qq --no-install-recommends "$@" 2>&1) ||
    rc=$?
  [ "$rc" -eq 0 ] && return 0
  APT_REASON=$(_apt_reason "$out")
  return 1
}

# _missing PKG...: the ones not installed yet, one a line.
_missing() {
  local p
  for p in "$@"; do _installed "$p" || echo "$p"; done
}

# ensure_packages PKG... : installs those not installed yet. They are
# needed: when one cannot be installed, says which and why, and fails.
ensure_packages() {
  local missing=() p
  mapfile -t missing < <(_missing "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing ${missing[*]}"
  _apt_update_once
  _install "${missing[@]}" && return 0
  # One at a time, to name the package that cannot be had.
  local failed=0
  for p in "${missing[@]}"; do
    if ! _install "$p"; then
      echo "ERROR required package $p cannot be installed: $APT_REASON"
      failed=1
    fi
  done
  return "$failed"
}

# optional_packages [--else CONSEQUENCE] PKG... : like ensure_packages, but
# the caller can do without them. Each that cannot be installed is said
# once here, and once in the summary of scripts/test ("CONSEQUENCE: PKG
# could not be installed: REASON"); the call then fails, so that the caller
# can take its other way.
optional_packages() {
  local consequence="" missing=() p failed=0
  if [ "${1:-}" = --else ]; then
    consequence="$2: "
    shift 2
  fi
  mapfile -t missing < <(_missing "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing ${missing[*]} (optional)"
  _apt_update_once
  for p in "${missing[@]}"; do
    if ! _install "$p"; then
      echo "NOTE optional package $p cannot be installed: $APT_REASON"
      summary_note "${consequence}$p could not be installed: $APT_REASON"
      failed=1
    fi
  done
  return "$failed"
}

# kernel_runs_i386: whether this kernel runs 32-bit x86 programs (a kernel
# built without IA-32 emulation, or a sandbox's, answers "Exec format
# error"): a 96-byte static i386 program that exits with 42.
kernel_runs_i386() {
  local probe rc=0
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

ensure_build_tools() {
  ensure_packages cmake make g++ libgtest-dev googletest
}

# summary_note TEXT: a line for this stage in the summary of scripts/test
# (LINKWELL_SUMMARY, set by it); a stage run on its own just prints.
summary_note() {
  if [ -n "${LINKWELL_SUMMARY:-}" ]; then
    printf '%s\t%s\n' "${LINKWELL_STAGE:-?}" "$*" >>"$LINKWELL_SUMMARY"
  fi
}

# claim_cpu "$@": the Wine stages play against the bridge's real timers, in
# real time. Linux shares the CPU between sessions equally, whatever their
# niceness (autogroups), so two low-priority builds in another session take
# half of it, and under Wine the thirteen links of a push tick then come
# half a second late. The stage runs in a session of its own and asks for a
# larger share (root only; elsewhere it just runs).
claim_cpu() {
  [ "$(id -u)" -eq 0 ] || return 0
  if [ -z "${LINKWELL_CPU_CLAIMED:-}" ] && command -v setsid >/dev/null; then
    export LINKWELL_CPU_CLAIMED=1
    exec setsid -w "$0" "$@"
  fi
  renice -n -10 -p $$ >/dev/null 2>&1 || true
  if [ -w /proc/self/autogroup ]; then echo -10 >/proc/self/autogroup 2>/dev/null || true; fi
}

# start_wineserver: the prefix's wineserver, kept in this session (and so
# in its share of the CPU) until `wineserver -k`: left to itself, the first
# Wine program would start one that leaves the session.
start_wineserver() {
  local server=/usr/lib/wine/wineserver64
  [ -x "$server" ] || server=/usr/lib/wine/wineserver32
  "$server" -f -p >/dev/null 2>&1 &
}

# wine_scenarios: the scenario files the Wine stage plays, one a line: each
# says so itself with a line "wine" (docs/scenarios.md). The huge text's
# scenario is made by scripts/test-wine in build/wine/ and is not listed.
wine_scenarios() {
  local f
  for f in "$ROOT"/tests/scenarios/*.scn "$ROOT"/tests/wine/*.scn; do
    grep -qE '^wine[[:space:]]*$' "$f" && echo "$f"
  done
  return 0
}
