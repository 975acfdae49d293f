#!/usr/bin/env bash
# scripts/regenerate-traces on a small tree: a simulated trace whose status
# text the program words otherwise now, and a Wine-only trace holding the
# old text (and a line it must leave alone). The simulated trace is played
# anew, the Wine one gets the new words at its own times, and --check says
# which differ before and nothing after. The text is the hung Logger32's as
# src/station/status.h words it today, so that rewording it (the first
# recipe of docs/changing.md) needs no edit here.
#   regenerate_traces_test.sh LINKWELL-SIM
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
export LINKWELL_SIM=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tests/scenarios" "$WORK/tests/wine" "$WORK/scenarios"
failed=0
expect() {  # expect WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
    failed=1
  fi
}

HUNG=$(sed -n 's/.*kLogger32NotAnswering = u"\(.*\)";$/\1/p' "$ROOT/src/station/status.h")
TRACE="$ROOT/tests/scenarios/logger32-hangs.trace"
# Its two lines in the scenario's trace, alone and with a QSO kept.
mapfile -t NOW < <(grep -F " STATUS \"$HUNG" "$TRACE" | cut -d' ' -f3-)
if [ -z "$HUNG" ] || [ "${#NOW[@]}" -ne 2 ]; then
  echo "FAILED: the hung Logger32's text (\"$HUNG\") is not on two status lines of $TRACE"
  exit 1
fi
asleep() { printf '%s\n' "${1//"\"$HUNG"/\"Logger32 asleep}"; }

cp "$ROOT/tests/scenarios/logger32-hangs.scn" "$WORK/tests/scenarios/"
# The expected trace as it stood before the wording changed.
while IFS= read -r line; do asleep "$line"; done <"$TRACE" \
  >"$WORK/tests/scenarios/logger32-hangs.trace"
printf '%s\n' '4089 STATUS "Waiting start MixW."' "8954 STATUS $(asleep "${NOW[0]}")" \
  "9012 STATUS $(asleep "${NOW[1]}")" '9020 STATUS "Logger32 asleep: 2 QSOs kept"' \
  '9030 END' >"$WORK/tests/wine/hung.trace"

out=$(python3 "$ROOT/scripts/regenerate-traces" --root "$WORK" --check)
expect "--check before: exit 1" 1 $?
expect "--check before: what differs" "differs: tests/scenarios/logger32-hangs.trace
differs: tests/wine/hung.trace
1 simulated and 1 Wine traces differ" "$out"
expect "--check writes nothing" "8954 STATUS $(asleep "${NOW[0]}")" "$(sed -n 2p "$WORK/tests/wine/hung.trace")"

out=$(python3 "$ROOT/scripts/regenerate-traces" --root "$WORK")
expect "rewrite: exit 0" 0 $?
expect "rewrite: what was rewritten" "rewritten: tests/scenarios/logger32-hangs.trace
rewritten: tests/wine/hung.trace
1 simulated and 1 Wine traces rewritten" "$out"
expect "the simulated trace is the simulated world's" \
  "$(cat "$ROOT/tests/scenarios/logger32-hangs.trace")" "$(cat "$WORK/tests/scenarios/logger32-hangs.trace")"
# The 2-QSO text is in no simulated trace: nothing says how it reads now.
expect "the Wine trace has the new words at its own times" '4089 STATUS "Waiting start MixW."
8954 STATUS '"${NOW[0]}"'
9012 STATUS '"${NOW[1]}"'
9020 STATUS "Logger32 asleep: 2 QSOs kept"
9030 END' "$(cat "$WORK/tests/wine/hung.trace")"

out=$(python3 "$ROOT/scripts/regenerate-traces" --root "$WORK" --check)
expect "--check after: exit 0" 0 $?
expect "--check after: nothing differs" "0 simulated and 0 Wine traces differ" "$out"

# Without $LINKWELL_SIM the debug build's linkwell-sim is built before it
# plays, also when there is one: a program older than the edit would write
# the old traces again. Here the one in place is such a program, and a
# stand-in cmake records the build and puts the real one in its place.
mkdir -p "$WORK/build/debug" "$WORK/bin"
touch "$WORK/build/debug/CMakeCache.txt"
printf '#!/bin/sh\necho "0 STATUS \\"stale\\""\n' >"$WORK/build/debug/linkwell-sim"
printf '#!/bin/sh\necho "cmake $*" >>"%s"\nprintf "#!/bin/sh\\nexec %s \\"\\$@\\"\\n" >"%s"\n' \
  "$WORK/cmake.log" "$LINKWELL_SIM" "$WORK/build/debug/linkwell-sim" >"$WORK/bin/cmake"
chmod +x "$WORK/build/debug/linkwell-sim" "$WORK/bin/cmake"
out=$(env -u LINKWELL_SIM PATH="$WORK/bin:$PATH" python3 "$ROOT/scripts/regenerate-traces" --root "$WORK" --check)
expect "an older linkwell-sim is built first: exit 0" 0 $?
expect "an older linkwell-sim is built first: nothing differs" \
  "0 simulated and 0 Wine traces differ" "$out"
expect "built once, in the tree already configured" \
  "cmake --build --preset debug --target linkwell-sim -j2" "$(cat "$WORK/cmake.log" 2>/dev/null)"
exit "$failed"
