#!/usr/bin/env bash
# seed-history.sh INI PROJECT
# Writes INI as the program's history file with "historypath" = PROJECT,
# unless INI already exists. The program reads it with QSettings (INI
# format), so every character outside a plain set is written as a \x escape
# of its UTF-16 code unit(s): commas, quotes, spaces and non-ASCII names read
# back unchanged. A hex digit right after an escape is escaped too, since
# the reader would take it as part of the escape.
set -euo pipefail
ini=$1
project=$2
[ -e "$ini" ] && exit 0

export LC_ALL=C.UTF-8
value=""
after_escape=0
for ((i = 0; i < ${#project}; i++)); do
  c=${project:i:1}
  if [[ $c =~ ^[A-Za-z0-9/._-]$ ]] && ! { [ "$after_escape" = 1 ] && [[ $c =~ ^[0-9A-Fa-f]$ ]]; }; then
    value+=$c
    after_escape=0
    continue
  fi
  code=$(printf '%d' "'$c")
  if [ "$code" -gt 65535 ]; then
    code=$((code - 65536))
    value+=$(printf '\\x%x\\x%x' $((0xD800 + (code >> 10))) $((0xDC00 + (code & 0x3FF))))
  else
    value+=$(printf '\\x%x' "$code")
  fi
  after_escape=1
done

tmp="$ini.tmp.$$"
printf '[General]\nhistorypath=%s\n' "$value" > "$tmp"
mv -f "$tmp" "$ini"
