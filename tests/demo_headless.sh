#!/usr/bin/env bash
# The demo without a display downloads the sample to the simulated device,
# reports that the device received it exactly, and saves a picture.
set -euo pipefail
demo=$1
picture=$2
rm -f "$picture"
output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$demo" --headless --picture "$picture")
echo "$output"
grep -q "与文件一致" <<<"$output"
grep -q "传输字数 (Label4): 257" <<<"$output"
[ -s "$picture" ]
