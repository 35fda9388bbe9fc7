#!/usr/bin/env bash
# make test-windows: the Windows edition under Wine, headless, in a fresh Wine
# prefix: the core test suites, the window on COM ports wired to the simulated
# device, and the installer. One line per check, then the tally.
# usage: test.sh WINDOWS_BUILD HOST_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
"$root/tools/install-deps.sh" --with-extras wine wine64 xvfb xauth x11-utils x11-apps imagemagick
out=$(realpath "${1:?usage: test.sh WINDOWS_BUILD HOST_BUILD}")
host=$(realpath "${2:?usage: test.sh WINDOWS_BUILD HOST_BUILD}")
start_work ${KEEP_WINE:+keep}
export LANG=C.UTF-8 WINEPREFIX="$work/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sims=()

stop_wine() { wineserver -k 2>/dev/null || true; }
at_exit stop_wine
# settle: waits until every Wine program has ended, at most a minute.
settle() { bounded 60 wineserver -w; }
# restart_wine: Wine ends, to start afresh at its next use.
restart_wine() { stop_wine && settle; }

winpath() { echo "Z:${1//\//\\}"; }

# A Qt program under Wine, headless. Wine drops the QT_* variables of the
# Unix environment, so they are set inside.
run_qt() {   # run_qt PROGRAM.exe ARGS...
  local exe=$1; shift
  (cd "$out/tests" && bounded 300 wine cmd /c "set QT_FORCE_STDERR_LOGGING=1&& set QT_QPA_FONTDIR=$(winpath "$work/fonts")&& set QT_QPA_PLATFORM=offscreen&& set KD7_COMPORT_OUT=$(winpath "$work")&& $exe $*")
}

# A simulated device on a pseudo-terminal, mapped to COMn in Wine's registry.
start_device() {   # start_device N KD7SIM_ARGS...
  local n=$1; shift
  "$host/tools/kd7sim" "$@" >"$work/sim$n.out" &
  sims+=("$!")
  started "$!"
  await 100 [ -s "$work/sim$n.out" ] || die "test-windows: the simulated device for COM$n showed no port in 10 s"
  bounded 60 wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$(device_of "$n")" /f >/dev/null \
    || die "test-windows: Wine's registry did not take COM$n"
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
  local exe=$1 log="$work/${1%.exe}.txt" status=0
  restart_wine || return 1
  (cd "$out/tests" && bounded 300 xvfb-run -a -s "-screen 0 1024x768x24" wine cmd /c \
    "set QT_QPA_FONTDIR=$(winpath "$work/fonts")&& set QT_QPA_PLATFORM=offscreen&& $exe -o $(winpath "$log"),txt") \
    || status=$?
  restart_wine || status=1
  cat "$log"
  return "$status"
}

mkdir -p "$work/fonts"
ln -s /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc /usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc "$work/fonts/"

echo "test-windows: a fresh Wine prefix"
bounded 300 wineboot --init >/dev/null 2>&1 || die "test-windows: Wine could not make its prefix"
settle || die "test-windows: Wine did not settle after making its prefix"

check objectfile-suite run_qt tst_objectfile.exe
check downloadprocedure-suite run_qt tst_downloadprocedure.exe
check portrules-suite run_qt tst_portrules.exe

# Port 1 answers, port 2 stays silent, port 9 is missing. The mount manager
# reads the port map when Wine starts, so Wine starts afresh after it.
# COM2's line starts in a distinctive state, which the tool must give back;
# COM7 is a port that numbers 1 to 4 cannot reach.
start_device 1 --once --transcript "$work/com1.bin"
start_device 2 --silent --transcript "$work/com2.bin"
start_device 7 --silent
set_distinctive_settings "$(device_of 2)"
restart_wine || die "test-windows: Wine did not end, so it cannot read the new port map"
check window-on-com-ports run_qt tst_comport.exe
check com2-settings-given-back has_distinctive_settings "$(device_of 2)"

# The operator's desk: the system's open dialog (cancelled, completed), Exit,
# the port tooltips and the FTDI latency timers. Qt keeps no key of its own
# in the registry afterwards, and the user's profile holds no new file.
profile_files() { find "$WINEPREFIX/drive_c/users" -type f | sort; }
profile_files >"$work/profile-before.txt"
check windows-desk run_qt_on_display tst_windowsdesk.exe
# absent: the query fails, and not for running out of time
no_qt_settings() {
  local status=0
  bounded 60 wine reg query 'HKCU\Software\QtProject' >/dev/null || status=$?
  [ "$status" -ne 0 ] && [ "$status" -ne 124 ]
}
check no-qt-settings-in-the-registry no_qt_settings
profile_unchanged() { profile_files | diff "$work/profile-before.txt" -; }
check no-new-file-in-the-profile profile_unchanged
end_processes "${sims[@]}"   # the devices save what they received as they end
check com1-exact-bytes cmp "$work/answering-expected.bin" "$work/com1.bin"
check com2-preambles-and-handshakes cmp "$work/silent-expected.bin" "$work/com2.bin"

# The installer, silent, as lab administrators run it; the installed program
# starts and shows its window (under Xvfb, with Wine's own display driver).
setup=$(ls "$out"/kd7load-*-setup.exe)
installed="$WINEPREFIX/drive_c/Program Files/KD7Load"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KD7用户程序下载.lnk"
guide_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KD7用户程序下载 操作指南.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KD7Load'
export_uninstall_key() {
  bounded 60 wine reg export "$uninstall_key" "$(winpath "$work/uninstall.reg")" /reg:64 /y >/dev/null
}
# Wine's console turns Chinese into "?"; an exported key is UTF-16 text.
listed_as_program() {
  export_uninstall_key && iconv -f UTF-16LE -t UTF-8 "$work/uninstall.reg" | grep '"DisplayName"="KD7用户程序下载"' >/dev/null
}
# unlisted: the key cannot be exported, and not for running out of time
unlisted() {
  local status=0
  export_uninstall_key || status=$?
  [ "$status" -ne 0 ] && [ "$status" -ne 124 ]
}
install_silently() { bounded 300 wine "$setup" /S && settle && [ -f "$installed/kd7load.exe" ] && [ -f "$menu" ] \
  && [ -f "$installed/guide.zh_CN.html" ] && [ -f "$guide_menu" ] && listed_as_program; }
check installer-silent install_silently

# Wine's desktop started headless for the installer; it starts again on the display.
shows_window() {
  restart_wine || return 1
  bounded 300 xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    wine "$1/kd7load.exe" &
    for i in $(seq 1 120); do
      xwininfo -root -tree | grep -q "KD7用户程序下载" && break; sleep 0.5
    done
    sleep 2
    xwd -root -silent | convert xwd:- "$2"
    found=$(xwininfo -root -tree | grep -c "KD7用户程序下载")
    wineserver -k
    [ "$found" -ge 1 ] || echo "no window named KD7用户程序下载 after 60 s"
    [ "$found" -ge 1 ]' _ "$installed" "$out/kd7load-under-wine.png"
}
check installed-program-shows-its-window shows_window

uninstall_silently() { [ -f "$installed/uninstall.exe" ] && bounded 300 wine "$installed/uninstall.exe" /S && sleep 2 \
  && settle && [ ! -e "$installed" ] && [ ! -e "$menu" ] && [ ! -e "$guide_menu" ] && unlisted; }
check uninstaller-removes-everything uninstall_silently

tally test-windows
