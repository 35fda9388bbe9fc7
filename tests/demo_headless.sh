#!/usr/bin/env bash
# The demo without a display downloads the sample to the simulated device,
# reports that the device received it exactly, and saves a picture.
# usage: demo_headless.sh KD7DEMO PICTURE
set -euo pipefail
. "$(dirname "$0")/../tools/lib.sh"
demo=${1:?usage: demo_headless.sh KD7DEMO PICTURE}
picture=${2:?usage: demo_headless.sh KD7DEMO PICTURE}
rm -f "$picture"
status=0
output=$(bounded 120 env -u DISPLAY -u WAYLAND_DISPLAY "$demo" --headless --picture "$picture") || status=$?
echo "$output"
[ "$status" -eq 0 ] || die "demo_headless: the demo ended with $status"
grep -q "与文件一致" <<<"$output"
grep -q "传输字数 (Label4): 257" <<<"$output"
[ -s "$picture" ]
