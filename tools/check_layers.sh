#!/usr/bin/env bash
# The layers of the code base and what each may include (docs/architecture.md draws them).
# Fails, naming file:line and both layers, when a source includes a header of a layer it
# may not use, or a Qt header outside the layers that may use Qt; and when a source file is
# not named in CMakeLists.txt exactly once (every target lists its sources).
#   tools/check_layers.sh [TOP]   the project at TOP (default: this script's project);
#                                 exit 0 when everything holds, 1 otherwise
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The layer of a path inside the project, or nothing when it is in no layer.
layer_of() {
  case "$1" in
    text/qt/*) echo text_qt ;;
    text/*) echo text ;;
    model/*) echo model ;;
    configfile/*) echo configfile ;;
    link/qt/*) echo link_qt ;;
    link/*) echo link ;;
    compare/*) echo compare ;;
    transfer/*) echo transfer ;;
    firmware/*) echo firmware ;;
    report/*) echo report ;;
    sim/tool/*) echo sim_tool ;;
    sim/*) echo sim ;;
    ui/app/*) echo ui ;;
    cli/*) echo cli ;;
    tests/support/*) echo testsupport ;;
    tests/*) echo tests ;;
    fuzz/*) echo fuzz ;;
    bench/*) echo bench ;;
  esac
}

# What each layer may include besides itself. Nothing includes upward: the ground floor
# (text, model) includes nothing of the project but text; the core's floors include only
# floors below them; the front ends sit on top and nothing includes them. "qt" stands for
# Qt's own headers: the core uses none of them.
core="text model configfile link compare transfer firmware"
declare -A may=(
  [text]=""                          # the ground floor: nothing of the project, no Qt
  [text_qt]="text qt"                # the per-user language setting, Qt's translators
  [model]="text"
  [configfile]="text model"
  [link]="text model"                # the numeric value of a text, the firmware's version
  [compare]="text model configfile"  # the keyed file's keys and values, side by side
  [transfer]="text model configfile link compare"  # configfile: keys of compared values, backups
  [firmware]="text model configfile link"          # configfile: the guarded file read
  [sim]="text model link transfer"   # the unit's side: the same lines, records and framing
  [link_qt]="text model link qt"
  [report]="$core qt"                # Qt Gui and PrintSupport: the rich-text document, PDF, printing
  [sim_tool]="$core sim"
  [ui]="$core sim link_qt report text_qt qt"         # sim: the built-in virtual unit
  [cli]="$core link_qt report text_qt qt"
  [testsupport]="$core"
  [tests]="$core sim link_qt report text_qt ui testsupport qt"
  [fuzz]="$core sim"
  [bench]="$core sim link_qt report ui testsupport qt"  # ui: the windows' undo and redo timed
)

folders=(text ui model configfile link compare transfer firmware report sim cli tests fuzz bench)
existing=()
for f in "${folders[@]}"; do [ -d "$f" ] && existing+=("$f"); done
files=()
if [ ${#existing[@]} -ne 0 ]; then
  mapfile -t files < <(find "${existing[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
fi

failures=0
# Every project include ("path") and Qt include (<Q...>), as: file line target.
while read -r file line target; do
  from=$(layer_of "$file")
  [ -n "$from" ] || continue
  if [ "$target" = "<qt>" ]; then
    to=qt
  else
    # Project headers are named from the top folder; a bare name is beside its includer.
    [ -e "$target" ] || [ ! -e "$(dirname "$file")/$target" ] || target=$(dirname "$file")/$target
    to=$(layer_of "$target")
    [ -n "$to" ] || continue
  fi
  [ "$to" = "$from" ] && continue
  case " ${may[$from]} " in
    *" $to "*) ;;
    *)
      echo "$file:$line: the $from layer may not include the $to layer (${target/<qt>/a Qt header})" >&2
      failures=$((failures + 1))
      ;;
  esac
done < <([ ${#files[@]} -eq 0 ] || awk '
  /^[ \t]*#[ \t]*include[ \t]*"/ { split($0, p, "\""); print FILENAME, FNR, p[2]; next }
  /^[ \t]*#[ \t]*include[ \t]*<Q/ { print FILENAME, FNR, "<qt>" }' "${files[@]}")

# Every source file is compiled by exactly one target: named once in CMakeLists.txt.
declare -A named=()
while read -r count word; do
  named[$word]=$count
done < <([ ${#files[@]} -eq 0 ] || awk '!/^[ \t]*#/ { gsub(/[()]/, " "); for (i = 1; i <= NF; i++) print $i }' CMakeLists.txt |
         sort | uniq -c)
for file in "${files[@]}"; do
  case "$file" in *.cpp) ;; *) continue ;; esac
  count=${named[$file]:-0}
  if [ "$count" -ne 1 ]; then
    echo "$file: named $count times in CMakeLists.txt (every source belongs to one target)" >&2
    failures=$((failures + 1))
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "check_layers: $failures problem(s)" >&2
  exit 1
fi
echo "check_layers: every include keeps to its layers; every source belongs to one target"
