#!/usr/bin/env bash
# The architecture check on small trees: a correct map passes; a file without a line, a line or a walk naming a
# file that does not exist, a forbidden include and a folder without its "May include:" line each fail, with a
# message that names what to change.
# Usage: check-architecture-test.sh CHECKER
set -uo pipefail

checker=$(realpath "${1:?usage: check-architecture-test.sh CHECKER}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A tree of two layers: low/ at the ground, high/ above it, with a tool in a sub-folder of low/ and data in res/.
make_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree/src/low/tools" "$work/tree/src/low/res" "$work/tree/src/high"
  cd "$work/tree" || exit 1
  printf '#pragma once\nint Low();\n' > src/low/Low.h
  printf '#include "Low.h"\nint Low() { return 1; }\n' > src/low/Low.cpp
  printf 'int main() { return 0; }\n' > src/low/tools/gen.cpp
  printf 'data\n' > src/low/res/table.txt
  printf 'add_library(low Low.cpp)\n' > src/low/CMakeLists.txt
  printf '#include "low/Low.h"\n#include <vector>\nint High() { return Low(); }\n' > src/high/High.cpp
  cat > ARCHITECTURE.md <<'DOC'
# Architecture

### src/low
The ground.

May include: nothing.

- `Low.h`, `Low.cpp`: the low routine.
- `tools/gen.cpp`: a build tool.

### src/high
Above the ground.

May include: low.

- `High.cpp`: the high routine.

## A walk
`High` calls `Low` (`low/Low.cpp`); names without a folder, like `Gone.cpp`: are not checked, nor are files
outside the folders the map describes, like `tests/Test.cpp`.
DOC
}

# expect <name> <exit status wanted> <text the output must hold>
expect() {
  local name=$1 status=$2 text=$3 output actual
  output=$("$checker" "$work/tree" 2>&1)
  actual=$?
  if [ "$actual" -ne "$status" ] || ! grep -qF -- "$text" <<<"$output"; then
    echo "FAIL $name: exit $actual (wanted $status), output:"
    echo "$output" | sed 's/^/    /'
    echo "    (wanted it to hold: $text)"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

make_tree
expect "a complete map passes" 0 "maps all 4 files under src/"

make_tree
printf '#pragma once\n' > src/high/High.h
printf '#pragma once\n' > src/high/Extra.h
printf 'int Extra() { return 2; }\n' > src/high/Extra.cpp
expect "a file without a line fails" 1 'src/high: no line for `High.h`.'
expect "the message says where to add the line" 1 'under "### src/high" (line 11)'
expect "the message gives the line, header and source together" 1 '    - `Extra.h`, `Extra.cpp`: <what the file holds, in one line>'

make_tree
mkdir -p src/new && printf 'int New();\n' > src/new/New.cpp
expect "a folder without a paragraph fails" 1 'under a new heading "### src/new"'

make_tree
rm src/low/Low.cpp
expect "a line naming a missing file fails" 1 'ARCHITECTURE.md:8 names `Low.cpp` under "### src/low", but src/low/Low.cpp does not exist'

make_tree
sed -i 's#(`low/Low.cpp`)#(`low/Lower.cpp`)#' ARCHITECTURE.md
expect "a walk naming a missing file fails" 1 'ARCHITECTURE.md:19 refers to `low/Lower.cpp`, but src/low/Lower.cpp does not exist'

make_tree
sed -i 's/^- `High.cpp`/- `High.cpp`, `Other.cpp`/' ARCHITECTURE.md
expect "a second name on a line must exist too" 1 'src/high/Other.cpp does not exist'

make_tree
printf '#include "high/High.h"\n' >> src/low/Low.cpp
printf '#pragma once\n' > src/high/High.h
sed -i 's/^- `High.cpp`/- `High.h`, `High.cpp`/' ARCHITECTURE.md
expect "an include from a layer above fails" 1 'src/low/Low.cpp:3 includes "high/High.h" from src/high, which the "May include:" line of "### src/low" does not name'

make_tree
printf '#include "../../high/High.cpp"\n' > src/low/tools/gen.cpp
expect "a relative include is resolved before it is judged" 1 'src/low/tools/gen.cpp:1 includes "../../high/High.cpp" from src/high'

make_tree
sed -i 's/^May include: low./May include: nothing./' ARCHITECTURE.md
expect "an include the May include: line no longer allows fails" 1 'src/high/High.cpp:1 includes "low/Low.h" from src/low'

make_tree
sed -i '/^May include: low./d' ARCHITECTURE.md
expect "a folder without a May include: line fails" 1 '"### src/high" has no "May include:" line'

make_tree
sed -i 's/^- `High.cpp`: the high routine./&\n- `High.cpp`: again./' ARCHITECTURE.md
expect "a file named twice fails" 1 'names src/high/High.cpp again'

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
