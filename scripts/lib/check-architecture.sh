#!/usr/bin/env bash
# Checks ARCHITECTURE.md against the tree under src/:
#   - every file has a line in the paragraph of its folder (CMakeLists.txt and files under res/ are left out);
#   - every file a line names exists, and so does every `folder/File.cpp` the text refers to (the walks);
#   - every #include "..." of a source file reaches only its own folder or a folder its paragraph's
#     "May include:" line names.
# A folder's paragraph starts with a heading "### src/<folder>"; a file line is "- `Name.h`, `Name.cpp`: what
# they hold", the names relative to that folder. A file belongs to the deepest folder with a paragraph.
# Usage: check-architecture.sh [ROOT]   (ROOT: the repository, by default the one holding this script)
set -euo pipefail

root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
doc=$root/ARCHITECTURE.md
[ -f "$doc" ] || { echo "ARCHITECTURE.md is missing in $root" >&2; exit 1; }
[ -d "$root/src" ] || { echo "no src/ folder in $root" >&2; exit 1; }

# The files to map: those git knows (tracked, or new and not ignored), or every file outside a checkout.
list_files() {
  local top
  if top=$(git -C "$root" rev-parse --show-toplevel 2>/dev/null) && [ "$(cd "$top" && pwd -P)" = "$(cd "$root" && pwd -P)" ]; then
    git -C "$root" ls-files -co --exclude-standard -- src
  else
    (cd "$root" && find src -type f)
  fi | grep -v -E '(^|/)CMakeLists\.txt$|/res/' | while read -r f; do [ -f "$root/$f" ] && echo "$f"; done | sort -u
}

# The map as records: S <folder> <line> | M <folder> <allowed folders...> | F <folder> <name> <line>
# | R <path> <line> for a source file the text refers to as `folder/File.cpp` (in the walks, for example).
parse_doc() {
  awk '
    folder == "" || !/^- `/ {
      text = $0
      while (match(text, /`[a-z]+(\/[a-z]+)*\/[A-Za-z0-9_]+\.(cpp|h|def|map)`/)) {
        print "R", "src/" substr(text, RSTART + 1, RLENGTH - 2), NR
        text = substr(text, RSTART + RLENGTH)
      }
    }
    /^#+ / {
      folder = ""
      if ($0 ~ /^### src\/[^ ]+[ \t]*$/) { folder = $2; sub(/\/+$/, "", folder); print "S", folder, NR }
      next
    }
    folder == "" { next }
    /^May include:/ {
      allowed = $0; sub(/^May include:/, "", allowed); gsub(/[,.;]/, " ", allowed)
      out = ""; n = split(allowed, words, /[ \t]+/)
      for (i = 1; i <= n; i++) if (words[i] != "" && words[i] != "nothing") out = out " src/" words[i]
      print "M", folder out
      next
    }
    /^- `/ {
      names = $0; sub(/^- /, "", names)
      cut = index(names, "`:"); if (cut == 0) next
      names = substr(names, 1, cut)
      while (match(names, /`[^`]+`/)) {
        print "F", folder, substr(names, RSTART + 1, RLENGTH - 2), NR
        names = substr(names, RSTART + RLENGTH)
      }
    }
  ' "$doc"
}

declare -A folderLine allowed hasAllowed listedAt listedIn
folders=() references=()
problems=0
report() { echo "$*" >&2; problems=$((problems + 1)); }

while read -r kind folder rest; do
  case $kind in
    S) folderLine[$folder]=$rest; folders+=("$folder"); allowed[$folder]=${allowed[$folder]-} ;;
    M) allowed[$folder]="$rest" hasAllowed[$folder]=1 ;;
    R) references+=("$folder $rest") ;;
    F)
      name=${rest% *} line=${rest##* } path=$folder/$name
      if [ -n "${listedAt[$path]-}" ]; then
        report "ARCHITECTURE.md:$line names $path again (first at line ${listedAt[$path]}): keep one line for it."
      else
        listedAt[$path]=$line listedIn[$path]=$folder
      fi
      ;;
  esac
done < <(parse_doc)

for folder in "${folders[@]}"; do
  [ -n "${hasAllowed[$folder]-}" ] || report "ARCHITECTURE.md:${folderLine[$folder]}: \"### $folder\" has no \"May include:\" line. Add one below its paragraph, e.g. \"May include: platform, common.\" (or \"May include: nothing.\")."
done

# The deepest folder with a paragraph that holds the path; else the path's top folder under src/.
folder_of() {
  local path=$1 best="" f
  for f in "${folders[@]}"; do
    if [[ $path == "$f"/* ]] && [ ${#f} -gt ${#best} ]; then best=$f; fi
  done
  if [ -z "$best" ]; then best=${path#src/}; best=src/${best%%/*}; fi
  echo "$best"
}

mapfile -t files < <(list_files)
declare -A exists fileFolder
for f in "${files[@]}"; do exists[$f]=1; fileFolder[$f]=$(folder_of "$f"); done

# Stale lines.
for path in "${!listedAt[@]}"; do
  [ -n "${exists[$path]-}" ] && continue
  folder=${listedIn[$path]}
  report "ARCHITECTURE.md:${listedAt[$path]} names \`${path#"$folder"/}\` under \"### $folder\", but $path does not exist (or is left out): take it off that line, or delete the line."
done

# Files the text refers to by folder and name, in a folder the map describes.
for reference in "${references[@]}"; do
  path=${reference% *} line=${reference##* }
  [ -n "${folderLine[$(folder_of "$path")]-}" ] || continue
  [ -n "${exists[$path]-}" ] && continue
  report "ARCHITECTURE.md:$line refers to \`${path#src/}\`, but $path does not exist: name the file that holds it now."
done

# Files without a line: one suggested line per folder and file stem.
declare -A missingByStem
for f in "${files[@]}"; do
  [ -n "${listedAt[$f]-}" ] && continue
  folder=${fileFolder[$f]} name=${f#"${fileFolder[$f]}"/}
  key="$folder|${name%.*}"
  if [[ $name == *.h ]]; then   # the header first, as the map's lines have it
    missingByStem[$key]="\`$name\`${missingByStem[$key]:+, }${missingByStem[$key]-}"
  else
    missingByStem[$key]="${missingByStem[$key]-}${missingByStem[$key]:+, }\`$name\`"
  fi
done
for key in $(printf '%s\n' "${!missingByStem[@]}" | sort); do
  folder=${key%%|*} names=${missingByStem[$key]}
  if [ -n "${folderLine[$folder]-}" ]; then
    where="in ARCHITECTURE.md under \"### $folder\" (line ${folderLine[$folder]}), in file-name order"
  else
    where="in ARCHITECTURE.md under a new heading \"### $folder\" with its paragraph and a \"May include:\" line"
  fi
  report "$folder: no line for $names. Add $where:"$'\n'"    - $names: <what the file holds, in one line>"
done

allowed_text() {
  local names=(${allowed[$1]-}) text
  text=$(printf "%s, " "${names[@]#src/}")
  text=${text%, }
  echo "${text:-nothing}"
}

# Includes across folders.
for f in "${files[@]}"; do
  own=${fileFolder[$f]}
  while IFS=: read -r line target; do
    dir=$(dirname "$f")
    if [ -f "$root/$dir/$target" ]; then
      resolved=$(cd "$root" && realpath -m --relative-to=. "$dir/$target")
    elif [ -f "$root/src/$target" ]; then
      resolved=src/$target
    else
      continue   # a generated or outside header
    fi
    other=$(folder_of "$resolved")
    [ "$other" = "$own" ] && continue
    case " ${allowed[$own]-} " in *" $other "*) continue ;; esac
    report "$f:$line includes \"$target\" from $other, which the \"May include:\" line of \"### $own\" does not name (it allows: $(allowed_text "$own")). Include from an allowed folder, or move the code."
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$f" 2>/dev/null \
             | sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/' || true)
done

if [ "$problems" -gt 0 ]; then
  echo "ARCHITECTURE.md: $problems problem(s)" >&2
  exit 1
fi
echo "ARCHITECTURE.md maps all ${#files[@]} files under src/ and every include keeps to its folder's May include: line"
