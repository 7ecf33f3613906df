#!/usr/bin/env bash
# scripts/demo after its build step, offscreen: Corvane, told to connect at once, reads the simulated reader's
# configuration (the demo's INI asks for the dump DUMPCFG.TXT); once the program has ended, no process of the demo
# is left and the files of its folder stay.
# Usage: DemoScriptTest.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail
source_dir=$1
build=$2
work=$(mktemp -d)
demo=
cleanup() {
  [ -z "$demo" ] || kill -- -"$demo" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- output of the demo:" >&2
  cat "$work/demo.out" >&2
  exit 1
}

cd "$source_dir"
# Job control: the demo gets a process group of its own, whose id is its process id.
set -m
TMPDIR=$work QT_QPA_PLATFORM=offscreen bash -c 'set -euo pipefail; source scripts/lib/prepare.sh
  source scripts/lib/screen.sh; source scripts/lib/demo.sh; run_demo "$1" x,,1' demo "$build" >"$work/demo.out" 2>&1 &
demo=$!
set +m

# The dump's lines end in CR LF; the last record the reader holds ends it.
dump=
lines=
for _ in $(seq 1200); do
  dump=$(compgen -G "$work/corvane-demo.*/DUMPCFG.TXT" || true)
  [ -z "$dump" ] || lines=$(tr -d '\r' <"$dump")
  grep -q ' 1B 4C 41 02 $' <<<"$lines" && break
  kill -0 "$demo" 2>/dev/null || fail "the demo ended before the configuration was read"
  sleep 0.1
done
[ -n "$dump" ] || fail "no configuration was read"
grep -q '^Configuration Dump - M100 V1.2 - ' <<<"$lines" || fail "the dump does not name the simulated reader"
[ "$(grep -c ' 1B [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] $' <<<"$lines")" -eq 18 ] ||
  fail "the dump does not hold the reader's 18 records: $lines"

program=$(pgrep -g "$demo" -x corvane) || fail "the program is not running"
kill -TERM "$program"
status=0
wait "$demo" || status=$?
demo_group=$demo
demo=
[ "$status" -eq 143 ] || fail "the demo ended with $status, not with the program's end by SIGTERM"
left=$(pgrep -g "$demo_group" -a || true)
if [ -n "$left" ]; then
  demo=$demo_group
  fail "processes left after the program ended: $left"
fi
folder=$(dirname "$dump")
[ ! -e "$folder/corvane" ] || fail "the program's copy was left in $folder"
[ -f "$folder/BENCH.CFG" ] && [ -f "$folder/CORVANE.INI" ] || fail "the demo's files were not kept in $folder"
echo "PASS"
