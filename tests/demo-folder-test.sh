#!/usr/bin/env bash
# scripts/demo writes into a folder that the user names: it must never
# remove or overwrite a file that it did not write itself.
set -u
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$ROOT/scripts/lib.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAIL $*"; status=1; }

# A folder of the user's own is refused before setup or Wine runs.
mkdir "$tmp/pictures"
echo mine > "$tmp/pictures/holiday.png"
if timeout 120 bash "$ROOT/scripts/demo" "$tmp/pictures" > "$tmp/log" 2>&1; then
  fail "demo accepted a folder with other files"
fi
[ "$(ls -A "$tmp/pictures")" = holiday.png ] && [ "$(cat "$tmp/pictures/holiday.png")" = mine ] ||
  fail "demo touched a refused folder: $(ls -A "$tmp/pictures")"

# A later run removes what the earlier one listed, nothing else; the list
# cannot name a file outside the folder.
printf '%s\n' a.png results.txt ../outside | vsl_claim_output_folder "$tmp/out/new" .list ||
  fail "a new folder was refused"
touch "$tmp/out/new/a.png" "$tmp/out/new/results.txt" "$tmp/out/new/added-by-user.png" "$tmp/out/outside"
echo b.png | vsl_claim_output_folder "$tmp/out/new" .list || fail "an earlier run's folder was refused"
[ "$(ls -A "$tmp/out/new" | tr '\n' ' ')" = ".list added-by-user.png " ] ||
  fail "left after the second claim: $(ls -A "$tmp/out/new" | tr '\n' ' ')"
[ -e "$tmp/out/outside" ] || fail "a listed path outside the folder was removed"
[ "$(cat "$tmp/out/new/.list")" = b.png ] || fail "the list does not name this run's files"

[ $status = 0 ] && echo "ok   the demo keeps files it did not write"
exit $status
