#!/usr/bin/env bash
# Keeps the layers: every source file's #include "…" may name only its own
# folder or the folders below it in this table, and the folders marked
# "no Qt" include no Qt header. Prints each offending line as FILE:LINE and
# fails when there is one.
#   scripts/check-layers.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

# folder, the folders it may include (besides itself), whether it may use Qt
layers=(
  "settings||no-qt"
  "dsp|settings|no-qt"
  "input|dsp settings|no-qt"
  "analysis|input dsp settings|no-qt"
  "display|analysis input dsp settings|no-qt"
  "store|settings|no-qt"
  "resources||no-qt"
  "framework|display analysis input dsp settings store resources|qt"
  "ui|framework display analysis input dsp settings store resources|qt"
  "app|ui framework display analysis input dsp settings store resources|qt"
)

failed=0
for layer in "${layers[@]}"; do
  IFS='|' read -r folder allowed qt <<<"$layer"
  [ -d "$root/$folder" ] || { echo "check-layers: folder $folder/ is missing" >&2; failed=1; continue; }
  while IFS= read -r file; do
    relative=${file#"$root"/}
    # Quoted includes: the first part of the path is the folder.
    while IFS=: read -r line target; do
      first=${target%%/*}
      [ "$target" != "$first" ] || first="(no folder)"
      case " $folder $allowed " in
        *" $first "*) ;;
        *) echo "$relative:$line: includes \"$target\"; $folder/ may include ${allowed:-nothing of ours}"; failed=1 ;;
      esac
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' || true)
    if [ "$qt" = "no-qt" ]; then
      while IFS=: read -r line text; do
        echo "$relative:$line: $text: $folder/ uses no Qt"
        failed=1
      done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file" || true)
    fi
  done < <(find "$root/$folder" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
done

if [ "$failed" -ne 0 ]; then
  echo "check-layers: includes that point up or out of their layer (see the table in scripts/check-layers.sh)" >&2
  exit 1
fi
echo "check-layers: every include points down"
