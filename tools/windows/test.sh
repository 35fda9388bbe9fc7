#!/usr/bin/env bash
# make test-windows: the Windows edition under Wine, headless, in a fresh Wine
# prefix: the core test suites, the window on COM ports wired to the simulated
# device, and the installer. One line per check, then the tally.
# usage: test.sh WINDOWS_BUILD HOST_BUILD
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/tools/install-deps.sh" --with-extras wine wine64 xvfb xauth x11-utils x11-apps imagemagick || exit 1
out=$(realpath "${1:?usage: test.sh WINDOWS_BUILD HOST_BUILD}")
host=$(realpath "${2:?usage: test.sh WINDOWS_BUILD HOST_BUILD}")
work=$(mktemp -d)
export LANG=C.UTF-8 WINEPREFIX="$work/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
passed=0
failed=0
sims=()

finish() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
[ -n "${KEEP_WINE:-}" ] && trap - EXIT

check() {   # check NAME COMMAND...: runs the command, prints one line
  local name=$1; shift
  if (set -x; "$@") >"$work/$name.log" 2>&1; then
    passed=$((passed + 1)); echo "PASS  $name"
  else
    failed=$((failed + 1)); echo "FAIL  $name"; tail -n 15 "$work/$name.log" | sed 's/^/      /'
  fi
}

winpath() { echo "Z:${1//\//\\}"; }

# A Qt program under Wine, headless. Wine drops the QT_* variables of the
# Unix environment, so they are set inside.
run_qt() {   # run_qt PROGRAM.exe ARGS...
  local exe=$1; shift
  (cd "$out/tests" && timeout 300 wine cmd /c "set QT_FORCE_STDERR_LOGGING=1&& set QT_QPA_FONTDIR=$(winpath "$work/fonts")&& set QT_QPA_PLATFORM=offscreen&& set KD7_COMPORT_OUT=$(winpath "$work")&& $exe $*")
}

# A simulated device on a pseudo-terminal, mapped to COMn in Wine's registry.
start_device() {   # start_device N KD7SIM_ARGS...
  local n=$1; shift
  "$host/tools/kd7sim" "$@" >"$work/sim$n.out" &
  sims+=("$!")
  for _ in $(seq 1 100); do
    [ -s "$work/sim$n.out" ] && break; sleep 0.1
  done
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$(head -n1 "$work/sim$n.out")" /f >/dev/null 2>&1
}
device_of() { head -n1 "$work/sim$1.out"; }

# Wine keeps a COM port's line settings in its pseudo-terminal's termios,
# where the kernel fixes 8 data bits and no parity: the distinctive state is
# the speed, two stop bits and both kinds of flow control.
set_distinctive_settings() { stty -F "$1" 19200 cstopb crtscts ixon ixoff; }
has_distinctive_settings() {
  local now; now=$(stty -F "$1" -a) || return 1
  echo "$now"
  grep -q 'speed 19200 baud' <<<"$now" || return 1
  for flag in cstopb crtscts ixon ixoff; do
    grep -Eq "(^| )$flag( |;|\$)" <<<"$now" || return 1
  done
}

# A Qt program that shows Windows' own windows (the open dialog), on a
# display: Xvfb with Wine's own display driver. Its results go to a file, as
# Wine's console on a display is not this script's.
run_qt_on_display() {   # run_qt_on_display PROGRAM.exe
  local exe=$1 log="$work/${1%.exe}.txt" status
  wineserver -k; timeout 60 wineserver -w
  (cd "$out/tests" && timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" wine cmd /c \
    "set QT_QPA_FONTDIR=$(winpath "$work/fonts")&& set QT_QPA_PLATFORM=offscreen&& $exe -o $(winpath "$log"),txt")
  status=$?
  wineserver -k; timeout 60 wineserver -w
  cat "$log"
  return $status
}

mkdir -p "$work/fonts"
ln -s /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc /usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc "$work/fonts/" 2>/dev/null

echo "test-windows: a fresh Wine prefix"
wineboot --init >/dev/null 2>&1; wineserver -w

check objectfile-suite run_qt tst_objectfile.exe
check downloadprocedure-suite run_qt tst_downloadprocedure.exe

# Port 1 answers, port 2 stays silent, port 9 is missing. The mount manager
# reads the port map when Wine starts, so Wine starts afresh after it.
# COM2's line starts in a distinctive state, which the tool must give back;
# COM7 is a port that numbers 1 to 4 cannot reach.
start_device 1 --once --transcript "$work/com1.bin"
start_device 2 --silent --transcript "$work/com2.bin"
start_device 7 --silent
set_distinctive_settings "$(device_of 2)"
wineserver -k; wineserver -w
check window-on-com-ports run_qt tst_comport.exe
check com2-settings-given-back has_distinctive_settings "$(device_of 2)"

# The operator's desk: the system's open dialog (cancelled, completed), Exit,
# the port tooltips and the FTDI latency timers. Qt keeps no key of its own
# in the registry afterwards, and the user's profile holds no new file.
profile_files() { find "$WINEPREFIX/drive_c/users" -type f | sort; }
profile_files >"$work/profile-before.txt"
check windows-desk run_qt_on_display tst_windowsdesk.exe
no_qt_settings() { ! wine reg query 'HKCU\Software\QtProject' >/dev/null 2>&1; }
check no-qt-settings-in-the-registry no_qt_settings
profile_unchanged() { profile_files | diff "$work/profile-before.txt" -; }
check no-new-file-in-the-profile profile_unchanged
for pid in "${sims[@]}"; do kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
sims=()
check com1-exact-bytes cmp "$work/answering-expected.bin" "$work/com1.bin"
check com2-preambles-and-handshakes cmp "$work/silent-expected.bin" "$work/com2.bin"

# The installer, silent, as lab administrators run it; the installed program
# starts and shows its window (under Xvfb, with Wine's own display driver).
setup=$(ls "$out"/kd7load-*-setup.exe)
installed="$WINEPREFIX/drive_c/Program Files/KD7Load"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KD7用户程序下载.lnk"
guide_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KD7用户程序下载 操作指南.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KD7Load'
# Wine's console turns Chinese into "?"; an exported key is UTF-16 text.
listed_as_program() {
  wine reg export "$uninstall_key" "$(winpath "$work/uninstall.reg")" /reg:64 /y >/dev/null 2>&1 \
    && iconv -f UTF-16LE -t UTF-8 "$work/uninstall.reg" | grep -q '"DisplayName"="KD7用户程序下载"'
}
install_silently() { wine "$setup" /S && wineserver -w && [ -f "$installed/kd7load.exe" ] && [ -f "$menu" ] \
  && [ -f "$installed/guide.zh_CN.html" ] && [ -f "$guide_menu" ] && listed_as_program; }
check installer-silent install_silently

# Wine's desktop started headless for the installer; it starts again on the display.
shows_window() {
  wineserver -k; wineserver -w
  xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    wine "$1/kd7load.exe" &
    for i in $(seq 1 120); do
      xwininfo -root -tree | grep -q "KD7用户程序下载" && break; sleep 0.5
    done
    sleep 2
    xwd -root -silent | convert xwd:- "$2"
    found=$(xwininfo -root -tree | grep -c "KD7用户程序下载")
    wineserver -k
    [ "$found" -ge 1 ]' _ "$installed" "$out/kd7load-under-wine.png"
}
check installed-program-shows-its-window shows_window

uninstall_silently() { [ -f "$installed/uninstall.exe" ] && wine "$installed/uninstall.exe" /S && sleep 2 && wineserver -w && [ ! -e "$installed" ] \
  && [ ! -e "$menu" ] && [ ! -e "$guide_menu" ] && ! listed_as_program; }
check uninstaller-removes-everything uninstall_silently

echo "test-windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
