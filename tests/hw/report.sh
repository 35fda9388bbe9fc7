#!/usr/bin/env bash
# make hwtest's verdicts for one kernel, one line per scenario and then the
# tally, from what the guest left in OUT and what the simulated devices and
# QEMU's trace recorded in WORK; SCENARIOS as the guest ran them.
# usage: report.sh OUT WORK KERNEL SCENARIOS
set -euo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
usage="usage: report.sh OUT WORK KERNEL SCENARIOS"
out=${1:?$usage}
sim=${2:?$usage}
kernel=${3:?$usage}
scenarios=${4:?$usage}
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

# The adapter was port 2 in the port window's list, and no placeholder was
# opened while ports were listed.
port_numbering() {
  echo "placeholders: $(tr '\n' ' ' <"$out/placeholders"); opened: $(sort -u "$out/placeholder-opens" | tr '\n' ' ')"
  step_passed ftdi && [ -s "$out/placeholders" ] && [ ! -s "$out/placeholder-opens" ]
}

# A port refused, with the cause the box gave below its text.
refused_with_cause() {
  echo "the box said: $(cat "$out/$1-cause.txt" 2>/dev/null)"
  step_passed "$1"
}

cable_pulled() {
  echo "传输字数 showed $(cat "$out/pulled-label4" 2>/dev/null)"
  step_passed pull
}

replugged() { step_passed replug && cmp "$out/answering-words.txt" "$sim/ftdi.words"; }

# Nothing else sets a line to 9600 baud: it can only be the tool.
line_settings() {
  local trace="$sim/trace.log"
  grep -E 'usb_serial_set|update_parameters' "$trace" | sort -u
  grep -q "usb_serial_set_baud .*baud rate 9600" "$trace" \
    && grep -q "usb_serial_set_data .*parity N, data bits 8, stop bits 1" "$trace" \
    && grep -q "serial_update_parameters baudrate=9600 parity='N' data=8 stop=1" "$trace"
}

# kd7load-cli through the UART and the adapter at once: it says both took
# the whole program, and each line's last bytes are the window's for it.
cli_on_both_lines() {
  local expected="$out/cli-expected.bin" line
  step_passed cli || return 1
  cat "$out/cli.json"
  [ "$(grep -c '"outcome":"finished"' "$out/cli.json")" -eq 2 ] || return 1
  for line in uart ftdi; do
    tail -c "$(stat -c %s "$expected")" "$sim/$line.bin" | cmp - "$expected" || return 1
  done
}

# kd7load-cli --list numbers the ports as the window does: the UART 1, the adapter 2.
cli_list() {
  cat "$out/cli-list.txt"
  grep -q '^串口 1  /dev/ttyS1' "$out/cli-list.txt" && grep -q '^串口 2  /dev/ttyUSB0' "$out/cli-list.txt"
}

echo "hwtest: kernel $kernel"
check no-permission refused_with_cause no-permission
check new-login refused_with_cause new-login
check port-busy refused_with_cause busy
check usbfs-claimed refused_with_cause usbfs
check port-numbering port_numbering
check ftdi-download download_exact ftdi
check low-latency low_latency
check cli-both-lines cli_on_both_lines
check cli-list cli_list
if [ "$scenarios" = all ]; then
  check uart-download download_exact uart
  check end-marker end_marker_last
  check cable-pull cable_pulled
  check no-adapter step_passed absent
  check replug replugged
  check line-settings line_settings
fi
tally "hwtest, kernel $kernel"
