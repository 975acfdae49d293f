# Shared by the project's scripts: install missing Debian packages, pick a
# parallelism that fits the machine.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)
_apt_updated=0

# ensure_packages PKG... : installs the packages that are not installed yet.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ "$_apt_updated" -eq 0 ]; then
    echo "== installing ${missing[*]}"
    $sudo apt-get update -qq
    _apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

ensure_build_tools() {
  ensure_packages cmake make g++ libgtest-dev googletest
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
