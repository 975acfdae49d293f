#!/usr/bin/env bash
# The install logic of scripts/lib.sh against a fake apt-get and dpkg-query
# first on the PATH: an index that cannot be fetched, an optional package
# that cannot be installed, a required one that cannot. Each case is a small
# stage script run as scripts/test runs a stage; its exit code, its lines
# and its summary notes must be exactly these.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/bin"

# apt-get: `update` exits $FAKE_UPDATE_RC with the errors a mirror in the
# middle of a sync gives; `install` fails, installing nothing, when one of
# its packages is in $FAKE_BROKEN, as apt does when a dependency cannot be
# had; otherwise it records what it installed.
cat >"$WORK/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$FAKE_STATE/calls"
case "$1" in
  update)
    if [ "${FAKE_UPDATE_RC:-0}" -ne 0 ]; then
      echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    fi
    exit "${FAKE_UPDATE_RC:-0}" ;;
  install)
    pkgs=()
    for a in "${@:2}"; do [[ $a == -* ]] || pkgs+=("$a"); done
    for p in "${pkgs[@]}"; do
      if [[ " ${FAKE_BROKEN:-} " == *" $p "* ]]; then
        echo "Some packages could not be installed. This may mean that you have"
        echo "The following packages have unmet dependencies:"
        echo " $p : Depends: libfoo1 (= 1.0-1) but it is not going to be installed"
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
      fi
    done
    printf '%s\n' "${pkgs[@]}" >>"$FAKE_STATE/installed"
    exit 0 ;;
esac
exit 0
EOF
cat >"$WORK/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
p=${!#}
if grep -qxF "$p" "$FAKE_STATE/installed" 2>/dev/null; then
  printf 'install ok installed'
  exit 0
fi
echo "dpkg-query: no packages found matching $p" >&2
exit 1
EOF
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$WORK/bin/sudo"
chmod +x "$WORK/bin/"*

passed=0
failed=0
check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $1"
    echo "  expected: $(printf '%s' "$2" | sed '2,$s/^/            /')"
    echo "  actual:   $(printf '%s' "$3" | sed '2,$s/^/            /')"
  fi
}

# run NAME BODY: the stage script BODY (after sourcing lib.sh) in a fresh
# fake machine; sets OUT, RC, NOTES and INSTALLED.
run() {
  local name=$1 body=$2
  rm -rf "$WORK/state" && mkdir -p "$WORK/state"
  printf 'installed-before\n' >"$WORK/state/installed"
  : >"$WORK/state/summary"
  printf '#!/usr/bin/env bash\nsource "%s/scripts/lib.sh"\n%s\n' "$ROOT" "$body" >"$WORK/$name"
  chmod +x "$WORK/$name"
  RC=0
  OUT=$(PATH="$WORK/bin:$PATH" FAKE_STATE="$WORK/state" LINKWELL_SUMMARY="$WORK/state/summary" \
    LINKWELL_STAGE="$name" "$WORK/$name" 2>&1) || RC=$?
  NOTES=$(cat "$WORK/state/summary")
  INSTALLED=$(tail -n +2 "$WORK/state/installed" | paste -sd' ')
}

UPDATE_NOTE="NOTE apt-get update failed (exit 100): Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?; installing from the package lists it could fetch"
REASON="Unable to correct problems, you have held broken packages. (wine32:i386 : Depends: libfoo1 (= 1.0-1) but it is not going to be installed)"

# 1. The update fails, the install succeeds: the stage goes on; what is
#    installed already is not asked for, and the lists are updated once.
export FAKE_UPDATE_RC=100 FAKE_BROKEN=""
run update-fails 'ensure_packages installed-before cmake wine64
ensure_packages g++-mingw-w64-x86-64-posix
echo "went on"'
check "update fails: exit code" 0 "$RC"
check "update fails: lines" "== installing cmake wine64
$UPDATE_NOTE
== installing g++-mingw-w64-x86-64-posix
went on" "$OUT"
check "update fails: installed" "cmake wine64 g++-mingw-w64-x86-64-posix" "$INSTALLED"
check "update fails: one update" 1 "$(grep -c '^update' "$WORK/state/calls")"
check "update fails: nothing in the summary" "" "$NOTES"

# 2. An optional package cannot be installed: said once where it fails and
#    once in the summary; the stage takes its other way and goes on.
export FAKE_BROKEN="wine32:i386"
run optional-fails 'ensure_packages wine64
if ! optional_packages --else "win32 build built, not played" wine32:i386; then
  echo "other way"
fi
echo "went on"'
check "optional fails: exit code" 0 "$RC"
check "optional fails: lines" "== installing wine64
$UPDATE_NOTE
== installing wine32:i386 (optional)
NOTE optional package wine32:i386 cannot be installed: $REASON
other way
went on" "$OUT"
check "optional fails: summary" "optional-fails	win32 build built, not played: wine32:i386 could not be installed: $REASON" "$NOTES"
check "optional fails: installed" "wine64" "$INSTALLED"

# 3. A required package cannot be installed: the stage fails there and
#    names it with apt's reason; the packages that can be had are installed.
export FAKE_UPDATE_RC=0 FAKE_BROKEN="wine64"
run required-fails 'ensure_packages cmake wine64 python3
echo "went on"'
check "required fails: exit code" 1 "$RC"
check "required fails: lines" "== installing cmake wine64 python3
ERROR required package wine64 cannot be installed: Unable to correct problems, you have held broken packages. (wine64 : Depends: libfoo1 (= 1.0-1) but it is not going to be installed)" "$OUT"
check "required fails: installed" "cmake python3" "$INSTALLED"

# 4. Everything there already: no word, no apt-get at all.
run nothing-missing 'ensure_packages installed-before
optional_packages installed-before
echo "went on"'
check "nothing missing: lines" "went on" "$OUT"
check "nothing missing: no apt-get" "" "$(cat "$WORK/state/calls" 2>/dev/null)"

echo "install logic: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
