#!/usr/bin/env bash
# The details window end to end: runs details_window_driver against a copy of the program, in a Wine
# prefix of this test's own whose web browser is a recorder that appends each address it is given
# to a file. Screen captures go to the artifacts directory as PNG, named details-*.
#   details_window_e2e.sh DRIVER PROGRAM ARTIFACTS_DIR PREFIX
set -euo pipefail
driver=$1 program=$2 artifacts=$3
export WINEPREFIX=$4
. "$(dirname "$0")/../../scripts/wine-env"
kestrin_start_display
kestrin_prepare_prefix

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrin-details.XXXXXX")
cleanup() {
  "$(dirname "$KESTRIN_WINE")/wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp "$program" "$work/KestrinIOC.exe"
cat > "$work/record-address" <<RECORDER
#!/bin/sh
printf '%s\n' "\$1" >> '$work/addresses.txt'
RECORDER
chmod +x "$work/record-address"
mkdir -p "$artifacts"
rm -f "$artifacts"/details-*.png

windows() { printf 'Z:%s' "${1//\//\\}"; }
status=0
"$KESTRIN_WINE" "$driver" --gtest_brief=1 "$(windows "$work/KestrinIOC.exe")" "$work/record-address" \
  "$(windows "$work/addresses.txt")" "$(windows "$(cd "$artifacts" && pwd)")" || status=$?

echo "addresses received by the shell:"; cat "$work/addresses.txt" 2>/dev/null || true
exit $status
