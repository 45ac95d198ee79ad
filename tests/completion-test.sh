#!/usr/bin/env bash
# What bash offers after each partial veltrane-cli command line, in a folder
# with a video, a folder and a file whose name starts with a dash.
# Exit 77: bash-completion is not installed.
set -uo pipefail
script=$1
helpers=/usr/share/bash-completion/bash_completion
[ -r "$helpers" ] || { echo "bash-completion is not installed: skipped"; exit 77; }
source "$helpers"
source "$script"
cd "$(mktemp -d)" && trap 'rm -rf "$PWD"' EXIT
mkdir folder && touch clip.mp4 -- -dash.mp4

checks=0 failures=0
# The words bash would offer at the end of line, sorted, space-separated.
offered() {
  COMP_LINE=$1 COMP_POINT=${#1}
  read -ra COMP_WORDS <<< "$1"
  [[ $1 == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _veltrane_cli veltrane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}
expect() { # line, offered words
  local got
  got=$(offered "$1")
  checks=$((checks + 1))
  [ "$got" = "$2" ] || { echo "after '$1': offered '$got', expected '$2'"; failures=$((failures + 1)); }
}

expect 'veltrane-cli ' 'compress help probe'
expect 'veltrane-cli --' '--help --version'
expect 'veltrane-cli compress --ta' '--target-size'
expect 'veltrane-cli compress --passes ' '1 2 auto'
expect 'veltrane-cli compress --tone-map ' 'auto off'
expect 'veltrane-cli compress --output ' 'folder'
expect 'veltrane-cli compress --size 50 ' '-dash.mp4 clip.mp4 folder'
expect 'veltrane-cli compress clip.mp4 -- -' '-dash.mp4'
expect 'veltrane-cli probe -' '--help --jobs'
expect 'veltrane-cli probe --jobs ' ''
expect 'veltrane-cli nonsense ' ''

echo "$((checks - failures)) passed, $failures failed"
exit $((failures > 0))
