#!/usr/bin/env bash
# Every manual page renders without a warning, both through groff with all
# warnings on and through man(1), and has the sections a reader looks for.
#   man_pages_test.sh PAGE...
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
export LC_ALL=C.UTF-8 MANWIDTH=80
[ $# -gt 0 ] || fail "no pages given"
for page in "$@"; do
  name=$(basename "$page")
  warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1) || fail "groff failed on $name: $warnings"
  [ -z "$warnings" ] || fail "groff warns on $name: $warnings"
  text=$(man --warnings=w -l "$page" 2> "$page.warnings.tmp") || fail "man failed on $name"
  warnings=$(cat "$page.warnings.tmp"); rm -f "$page.warnings.tmp"
  [ -z "$warnings" ] || fail "man warns on $name: $warnings"
  for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
    grep -qx "$section" <<< "$text" || fail "$name has no $section section"
  done
  title=${name%.*}
  head -n1 <<< "$text" | grep -qi "^${title//./\\.}(${name##*.})" || fail "$name has the wrong title line"
done
echo "$# pages render cleanly"
