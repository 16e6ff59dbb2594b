# Shared checks of the test scripts of the installed suite.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# expect_link LINK TARGET: LINK is a symbolic link whose text is TARGET.
expect_link() {
  [ -L "$1" ] || fail "$1 is not a symbolic link"
  [ "$(readlink "$1")" = "$2" ] || fail "$1 points to $(readlink "$1"), not $2"
}

# expect_file FILE: FILE is a regular file (not a link).
expect_file() {
  [ -f "$1" ] && [ ! -L "$1" ] || fail "$1 is missing or not a regular file"
}

# hex_of: the bytes of standard input as lower-case hex, without spaces.
hex_of() {
  od -An -v -tx1 | tr -d ' \n'
}

# unhex HEX: writes the bytes that the hex text HEX stands for.
unhex() {
  # shellcheck disable=SC2059
  printf "$(printf '%s' "$1" | sed 's/../\\x&/g')"
}
