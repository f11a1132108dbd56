#!/usr/bin/env bash
# Writes the settings table of the manual from what the program says of its
# settings ('dovevid settings --describe': caption, tool tip, values taken,
# value when nothing is configured), so the two cannot drift apart.
#
#   settings-section.sh DOVEVID MANUAL           rewrite the table in place
#   settings-section.sh DOVEVID MANUAL --check   exit 1 when it is out of date
#
# The table sits between the lines "<!-- settings:begin -->" and
# "<!-- settings:end -->" of MANUAL.
set -euo pipefail
dovevid=$1 manual=$2 mode=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/app" "$work/data"
"$dovevid" settings --describe --app-dir "$work/app" --data-dir "$work/data" >"$work/describe"

# One row per setting; a run of an indexed setting whose entries differ in
# nothing but the index shares a row ("txtHeader(0) to txtHeader(8)").
awk '
  function cell(s) { gsub(/\|/, "\\|", s); gsub(/</, "\\&lt;", s); gsub(/>/, "\\&gt;", s); return s }
  /^    caption: / { cap[k] = substr($0, 14); next }
  /^    tip:     / { tip[k] = substr($0, 14); sub(/ +$/, "", tip[k]); next }
  /^    takes:   / { takes[k] = substr($0, 14); next }
  /=/ {
    k++; name[k] = substr($0, 1, index($0, "=") - 1); value[k] = substr($0, index($0, "=") + 1)
    base[k] = name[k]; idx[k] = -1
    if (match(name[k], /\([0-9]+\)$/)) {
      base[k] = substr(name[k], 1, RSTART - 1); idx[k] = substr(name[k], RSTART + 1, RLENGTH - 2) + 0
    }
  }
  function same(a, b) {
    return base[a] == base[b] && idx[b] == idx[a] + 1 && value[a] == value[b] &&
           cap[a] == cap[b] && tip[a] == tip[b] && takes[a] == takes[b]
  }
  END {
    print "| Setting | Caption | Tool tip | Takes | Default |"
    print "|---|---|---|---|---|"
    for (i = 1; i <= k; i = j + 1) {
      for (j = i; j < k && same(j, j + 1); j++) {}
      shown = "`" name[i] "`" (j > i ? " to `" name[j] "`" : "")
      printf "| %s | %s | %s | %s | %s |\n", shown, cell(cap[i]), cell(tip[i]), cell(takes[i]),
             value[i] == "" ? "" : "`" value[i] "`"
    }
  }
' "$work/describe" >"$work/table"

awk -v table="$work/table" '
  /^<!-- settings:end -->$/ { print ""; while ((getline line < table) > 0) print line; print ""; inside = 0 }
  !inside { print }
  /^<!-- settings:begin -->$/ { inside = 1 }
' "$manual" >"$work/manual.md"

if [ "$mode" = "--check" ]; then
  if ! diff -u "$manual" "$work/manual.md"; then
    echo "The settings table of $manual is out of date: run" >&2
    echo "  tools/manual/settings-section.sh build/src/app/dovevid $manual" >&2
    exit 1
  fi
else
  cp "$work/manual.md" "$manual"
fi
