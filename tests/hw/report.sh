#!/usr/bin/env bash
# make hwtest's verdicts, one line per scenario and then the tally, from what
# the guest left in OUT and what the simulated devices and QEMU's trace
# recorded in WORK.
# usage: report.sh OUT WORK
set -euo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
out=${1:?usage: report.sh OUT WORK}
sim=${2:?usage: report.sh OUT WORK}
logs=$sim
trace_checks=no   # each verdict says why it failed

# step_passed STEP: the guest's step exited 0; else how it ended.
step_passed() {
  local status
  status=$(cat "$out/$1.status" 2>/dev/null) || status="none (the step did not report)"
  [ "$status" != 0 ] || return 0
  echo "exit $status"
  grep -m1 -A2 FAIL "$out/$1.log" 2>/dev/null || true
  tail -n1 "$out/$1.log" 2>/dev/null || true
  return 1
}

# The device on LINE received what the window sent, from the transcript's
# start: the refused download before it sent nothing.
download_exact() {
  local expected="$out/$1-expected.bin"
  step_passed "$1" && cmp -n "$(stat -c %s "$expected")" "$expected" "$sim/$1.bin"
}

end_marker_last() {
  local end
  end=$(tail -c 4 "$sim/uart.bin" | od -An -tx1 | tr -d ' \n')
  echo "the UART's last bytes were $end"
  [ "$end" = 02454e44 ]
}

low_latency() {
  local before during after
  before=$(cat "$out/latency-before")
  during=$(sort -u "$out/latency-during" | tr '\n' ' ')
  after=$(cat "$out/latency-after")
  echo "latency_timer before $before, during $during, after $after"
  grep -qx 1 "$out/latency-during" && [ -n "$before" ] && [ "$after" = "$before" ]
}

cable_pulled() {
  echo "传输字数 showed $(cat "$out/pulled-label4" 2>/dev/null)"
  step_passed pull
}

replugged() { step_passed replug && cmp "$out/answering-words.txt" "$sim/ftdi.words"; }

# The console runs at 115200, so 9600 on a UART can only be the tool's.
line_settings() {
  local trace="$sim/trace.log"
  grep -E 'usb_serial_set|update_parameters' "$trace" | sort -u
  grep -q "usb_serial_set_baud .*baud rate 9600" "$trace" \
    && grep -q "usb_serial_set_data .*parity N, data bits 8, stop bits 1" "$trace" \
    && grep -q "serial_update_parameters baudrate=9600 parity='N' data=8 stop=1" "$trace"
}

check port-busy step_passed busy
check ftdi-download download_exact ftdi
check uart-download download_exact uart
check end-marker end_marker_last
check low-latency low_latency
check cable-pull cable_pulled
check no-adapter step_passed absent
check replug replugged
check line-settings line_settings
tally hwtest
