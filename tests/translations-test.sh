#!/usr/bin/env bash
# The translation files are up to date with the sources: lupdate, run on
# copies as the update_translations target runs it, changes nothing, and every
# language but the template (the first file) is translated in full.
# Usage: translations-test.sh LUPDATE TEMPLATE TRANSLATION... -- LUPDATE-ARGUMENTS...
set -euo pipefail
lupdate=$1
shift
files=()
while [ "$1" != "--" ]; do
  files+=("$1")
  shift
done
shift

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copies=()
for file in "${files[@]}"; do
  cp "$file" "$work/"
  copies+=("$work/$(basename "$file")")
done
"$lupdate" -silent "$@" -ts "${copies[@]}"

status=0
for file in "${files[@]}"; do
  if ! diff -u "$file" "$work/$(basename "$file")"; then
    echo "FAIL: $file differs from the sources' texts: build the update_translations target and translate what is new"
    status=1
  fi
done
for file in "${files[@]:1}"; do
  unfinished=$(grep -c 'type="unfinished"' "$work/$(basename "$file")" || true)
  if [ "$unfinished" -ne 0 ]; then
    echo "FAIL: $file has $unfinished unfinished messages"
    status=1
  fi
done
[ $status -eq 0 ] && echo "${#files[@]} translation files up to date, none unfinished"
exit $status
