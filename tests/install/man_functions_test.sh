#!/usr/bin/env bash
# zoviru(3) lists every function that the public header exports, and names no
# function that the header does not have.
#   man_functions_test.sh HEADER PAGE
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
header=$1 page=$2
exported=$(grep -o '^NBT_API [^(]*\bnbt_[a-z_]*(' "$header" | grep -o 'nbt_[a-z_]*($' | tr -d '(' | sort -u)
[ -n "$exported" ] || fail "no exported function found in $header"
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2> /dev/null)
synopsis=$(sed -n '/^SYNOPSIS$/,/^DESCRIPTION$/p' <<< "$text" | grep -o '\bnbt_[a-z_]*(' | tr -d '(' | sort -u)
documented=$(sed -n '/^   Functions$/,/^RETURN VALUE$/p' <<< "$text" | grep -o '^       nbt_[a-z_]*()' | tr -d '() ' | sort -u)
[ "$synopsis" = "$exported" ] || fail "SYNOPSIS and header differ: $(diff <(echo "$exported") <(echo "$synopsis") || true)"
[ "$documented" = "$exported" ] || fail "Functions and header differ: $(diff <(echo "$exported") <(echo "$documented") || true)"
echo "zoviru(3) documents the $(wc -l <<< "$exported") exported functions"
