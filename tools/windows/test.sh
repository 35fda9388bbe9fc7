#!/usr/bin/env bash
# make test-windows: the Windows edition, a 32-bit program, under 32-bit Wine,
# headless. First the import check; then, in each of two fresh prefixes, a
# Windows 7 one (32-bit) and a Windows 10 one (64-bit, the program under
# WoW64): the core test suites, the window on COM ports wired to the
# simulated device, the operator's desk, and the installer. One line per
# check, then the tally of them all.
# usage: test.sh WINDOWS_BUILD HOST_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
# Where Debian's mirror gives no Wine (install-wine.sh exits 3), only the
# checks that need no Wine run, and the run says loudly what did not.
wine_status=0
"$root/tools/windows/install-wine.sh" || wine_status=$?
[ "$wine_status" -eq 0 ] || [ "$wine_status" -eq 3 ] || die "test-windows: 32-bit Wine could not be installed"
out=$(realpath "${1:?usage: test.sh WINDOWS_BUILD HOST_BUILD}")
host=$(realpath "${2:?usage: test.sh WINDOWS_BUILD HOST_BUILD}")
# A kernel that runs no 32-bit programs cannot start 32-bit Wine: the same
# checks then run in a virtual machine that can.
if [ "$wine_status" -eq 0 ] && [ -z "${KD7_IN_VM:-}" ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  exec "$root/tools/windows/test-in-vm.sh" "$out" "$host"
fi
start_work ${KEEP_WINE:+keep}
export LANG=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sims=()

stop_wine() { [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null || true; }
at_exit stop_wine
# settle: waits until every Wine program has ended, at most a minute.
settle() { bounded 60 wineserver -w; }
# restart_wine: Wine ends, to start afresh at its next use.
restart_wine() { stop_wine && settle; }

winpath() { echo "Z:${1//\//\\}"; }

# A Qt program under Wine: headless on Qt's offscreen platform, or, with
# PLATFORM=windows, in real windows on a virtual display (Wine's own display
# driver on Xvfb), where Windows' own windows (the open dialog) show and
# Windows can tell whether a window responds. Wine drops the QT_* variables
# of the Unix environment, so they are set inside; the results go to a file,
# as Wine's console on a display is not this script's.
run_qt() {   # [PLATFORM=windows] run_qt PROGRAM.exe
  local exe=$1 log="$work/${1%.exe}-$prefix_name.txt" status=0
  restart_wine || return 1
  (cd "$out/tests" && bounded 300 xvfb-run -a -s "-screen 0 1024x768x24" wine cmd /c \
    "set QT_QPA_FONTDIR=$(winpath "$work/fonts")&& set QT_QPA_PLATFORM=${PLATFORM:-offscreen}&& set KD7_COMPORT_OUT=$(winpath "$work")&& $exe -o $(winpath "$log"),txt") \
    || status=$?
  restart_wine || status=1
  cat "$log"
  return "$status"
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

# absent: the command fails, and not for running out of time
absent() {
  local status=0
  "$@" >/dev/null || status=$?
  [ "$status" -ne 0 ] && [ "$status" -ne 124 ]
}
no_qt_settings() { absent bounded 60 wine reg query 'HKCU\Software\QtProject'; }
profile_files() { find "$WINEPREFIX/drive_c/users" -type f | sort; }
profile_unchanged() { profile_files | diff "$work/profile-before.txt" -; }

# kd7load-cli as a script in Wine runs it, from the test programs' folder.
cli() { (cd "$out/tests" && bounded 120 wine kd7load-cli.exe "$@"); }
# Through COM5 and COM6 at once, named by number and by name, the program the
# window sent through COM1 (its words less the frame past them), from a
# folder with a Chinese name: the results read back as JSON, both finished.
cli_on_two_com_ports() {
  local program="$work/命令行/传感器.OBJ" json="$work/cli-$prefix_name.json"
  mkdir -p "${program%/*}" && head -n -1 "$work/answering-words.txt" >"$program" || return 1
  restart_wine || return 1
  cli --json -p 5 -p COM6 "$(winpath "$program")" >"$json" || return 1
  cat "$json"
  [ "$(grep -c '"outcome":"finished"' "$json")" -eq 2 ]
}
# Its Chinese redirected in the console's output code page, as PowerShell 5.1, Python and findstr read it,
# and on Wine's console on a terminal (written there as UTF-16, which any code page shows), under 936.
cli_chinese_redirected() { (cd "$out/tests" && bounded 120 script -qec "wine cmd /c \"chcp $1 & kd7load-cli.exe --help >$(winpath "$work/help$1.txt")\"" /dev/null) >/dev/null && iconv -f "$2" -t UTF-8 "$work/help$1.txt" | tee /dev/stderr | grep -q '用法'; }
cli_chinese_on_a_console() {
  (cd "$out/tests" && bounded 120 script -qec 'wine cmd /c "chcp 936 & kd7load-cli.exe --help"' /dev/null) \
    | tee /dev/stderr | grep -q '退出状态'
}

# The zip, as an operator without administrator rights uses it: unpacked to a
# folder whose path has Chinese and spaces (a USB stick's, say), its
# kd7load-cli downloads through COM8, and nothing is written outside that
# folder: no file anywhere in the prefix, no registry value (Wine's hives
# compared without their times, and without the driver dates Wine itself
# writes anew for the devices at every start). The device must then hold
# every word and the extra 0 frame.
prefix_state() {
  (cd "$WINEPREFIX" && find . -path ./dosdevices -prune -o -type f ! -name '*.reg' -printf '%P %s %T@\n' | sort \
    && sed -E 's/^(\[.*\]) [0-9]+$/\1/; /^#time=/d; /^"DriverDateData"=/d' ./*.reg)
}
portable_download() {
  local folder="$work/U 盘 $prefix_name/免安装 工具"
  mkdir -p "$folder" && /usr/bin/python3 -m zipfile -e "$zip" "$folder" || return 1
  restart_wine && prefix_state >"$work/prefix-before.txt" || return 1
  (cd "$folder"/kd7load-*-windows && bounded 120 wine kd7load-cli.exe -p COM8 "$(winpath "$work/zip-program.OBJ")") \
    || return 1
  restart_wine && prefix_state | diff "$work/prefix-before.txt" -
}
zip_checks() {
  seq 0 65 65000 >"$work/zip-program.OBJ"
  sims=()
  start_device 8 --once --words "$work/com8-words-$1.txt"
  check zip-runs-where-unpacked portable_download
  end_processes "${sims[@]}"
  check zip-device-holds-the-program diff <(cat "$work/zip-program.OBJ"; echo 0) "$work/com8-words-$1.txt"
}

# The installer is a 32-bit program: it installs under Program Files (x86)
# on 64-bit Windows, and lists itself in the registry's 32-bit view.
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KD7Load'
export_uninstall_key() {
  bounded 60 wine reg export "$uninstall_key" "$(winpath "$work/uninstall.reg")" /reg:32 /y >/dev/null
}
# Wine's console turns Chinese into "?"; an exported key is UTF-16 text.
listed_as_program() {
  export_uninstall_key && iconv -f UTF-16LE -t UTF-8 "$work/uninstall.reg" | grep '"DisplayName"="KD7用户程序下载"' >/dev/null
}
installed_files_there() {
  [ -f "$installed/kd7load.exe" ] && [ -f "$installed/kd7load-cli.exe" ] && [ -f "$menu" ] && [ -f "$installed/guide.zh_CN.html" ] && [ -f "$guide_menu" ]
}
install_silently() { bounded 300 wine "$setup" /S && settle && installed_files_there && listed_as_program; }
# On a Windows before 7 SP1 the installer says so and installs nothing.
refused_on_vista() {
  local status=0
  bounded 60 wine winecfg -v vista && settle || return 1
  bounded 300 wine "$setup" /S || status=$?
  settle
  bounded 60 wine winecfg -v "$windows" && settle || return 1
  echo "the installer ended with $status"
  [ "$status" -eq 2 ] && [ ! -e "$installed" ] && absent export_uninstall_key
}
uninstall_silently() { [ -f "$installed/uninstall.exe" ] && bounded 300 wine "$installed/uninstall.exe" /S && sleep 2 \
  && settle && [ ! -e "$installed" ] && [ ! -e "$menu" ] && [ ! -e "$guide_menu" ] && absent export_uninstall_key; }

# The installed program shows its window (under Xvfb, with Wine's own display
# driver), at the screen's scale: LogPixels 96 is 100 %, 144 is 150 %.
shows_window() {   # shows_window LOGPIXELS PICTURE
  bounded 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null || return 1
  restart_wine || return 1
  bounded 300 xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    wine "$1/kd7load.exe" &
    for i in $(seq 1 120); do
      xwininfo -root -tree | grep -q "KD7用户程序下载" && break; sleep 0.5
    done
    sleep 2
    xwd -root -silent | convert xwd:- -trim +repage "$2"
    found=$(xwininfo -root -tree | grep -c "KD7用户程序下载")
    wineserver -k
    [ "$found" -ge 1 ] || echo "no window named KD7用户程序下载 after 60 s"
    [ "$found" -ge 1 ]' _ "$installed" "$2"
}

# Everything, in a fresh prefix of the given kind.
# in_prefix NAME ARCH WINDOWS PROGRAM_FILES LOGPIXELS PICTURE
in_prefix() {
  prefix_name=$1 windows=$3
  export WINEPREFIX="$work/$1" WINEARCH=$2
  logs="$work/logs-$1"
  mkdir -p "$logs"
  echo "test-windows: a fresh $2 Wine prefix, as Windows $windows"
  bounded 300 wineboot --init >/dev/null 2>&1 || die "test-windows: Wine could not make its $1 prefix"
  settle || die "test-windows: Wine did not settle after making its $1 prefix"
  bounded 60 wine winecfg -v "$windows" && settle || die "test-windows: Wine would not be Windows $windows"
  if [ -n "${KD7_WINE_ONLY_ZIP:-}" ]; then zip_checks "$1"; restart_wine; return; fi

  check objectfile-suite run_qt tst_objectfile.exe
  check downloadprocedure-suite run_qt tst_downloadprocedure.exe
  check portrules-suite run_qt tst_portrules.exe

  # Port 1 answers, port 2 answers only with NAK (0x15), port 9 is missing.
  # The mount manager reads the port map when Wine starts, so Wine starts
  # afresh after it. COM2's line starts in a distinctive state, which the tool
  # must give back; COM7 is a port that numbers 1 to 4 cannot reach. The
  # window is a real one, so that Windows can say whether it responds.
  sims=()
  start_device 1 --once --transcript "$work/com1-$1.bin"
  start_device 2 --answer-byte 0x15 --transcript "$work/com2-$1.bin"
  start_device 7 --silent
  set_distinctive_settings "$(device_of 2)"
  PLATFORM=windows check window-on-com-ports run_qt tst_comport.exe
  check com2-settings-given-back has_distinctive_settings "$(device_of 2)"

  # The operator's desk: the system's open dialog (cancelled, completed), Exit,
  # the port tooltips and the FTDI latency timers. Qt keeps no key of its own
  # in the registry afterwards, and the user's profile holds no new file.
  profile_files >"$work/profile-before.txt"
  check windows-desk run_qt tst_windowsdesk.exe
  check no-qt-settings-in-the-registry no_qt_settings
  check no-new-file-in-the-profile profile_unchanged
  end_processes "${sims[@]}"   # the devices save what they received as they end
  check com1-exact-bytes cmp "$work/answering-expected.bin" "$work/com1-$1.bin"
  check com2-preambles-and-handshakes cmp "$work/silent-expected.bin" "$work/com2-$1.bin"

  # kd7load-cli: two COM ports at once, each receiving the window's bytes.
  sims=()
  start_device 5 --once --transcript "$work/com5-$1.bin"
  start_device 6 --once --transcript "$work/com6-$1.bin"
  check cli-two-com-ports-at-once cli_on_two_com_ports
  end_processes "${sims[@]}"
  check cli-com5-exact-bytes cmp "$work/answering-expected.bin" "$work/com5-$1.bin"
  check cli-com6-exact-bytes cmp "$work/answering-expected.bin" "$work/com6-$1.bin"
  zip_checks "$1"
  check cli-chinese-redirected-in-code-page-936 cli_chinese_redirected 936 GBK
  check cli-chinese-redirected-in-code-page-65001 cli_chinese_redirected 65001 UTF-8
  check cli-chinese-on-a-console cli_chinese_on_a_console

  # The installer, silent, as lab administrators run it; the installed program
  # starts and shows its window.
  installed="$WINEPREFIX/drive_c/$4/KD7Load"
  menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KD7用户程序下载.lnk"
  guide_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KD7用户程序下载 操作指南.lnk"
  check installer-refuses-windows-vista refused_on_vista
  check installer-silent install_silently
  check installed-program-shows-its-window shows_window "$5" "$out/$6"
  check uninstaller-removes-everything uninstall_silently
  restart_wine
}

mkdir -p "$work/fonts"
ln -s /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc /usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc "$work/fonts/"
setup=$(ls "$out"/kd7load-*-setup.exe)
# KD7_WINE_ONLY_ZIP=FILE: only that zip's checks, in the Windows 7 prefix.
zip=${KD7_WINE_ONLY_ZIP:-$(ls "$out"/kd7load-*-windows.zip)}

# Every program and library the installer ships, and the installer itself,
# loads on Windows 7 SP1; a program that imports a later function is caught.
logs="$work"
shipped() { find "$out/stage" \( -iname '*.exe' -o -iname '*.dll' \) -print0 | xargs -0 "$root/tools/windows/check-imports.sh" "$setup"; }
check imports-windows-7-has shipped
printf '#include <windows.h>\nint main(void) { FILETIME t; GetSystemTimePreciseAsFileTime(&t); return (int)t.dwLowDateTime; }\n' \
  | i686-w64-mingw32-gcc-posix -D_WIN32_WINNT=0x0602 -x c - -o "$work/late-import.exe"
check import-check-catches-a-windows-8-function absent "$root/tools/windows/check-imports.sh" "$work/late-import.exe"

if [ "$wine_status" -eq 3 ]; then
  echo "test-windows: NOT RUN UNDER WINE: Debian's mirror gives no 32-bit Wine today (see above);"
  echo "test-windows: the Windows edition was built and its imports checked, nothing more"
  tally test-windows
  exit
fi
in_prefix windows7 win32 win7 "Program Files" 144 kd7load-under-wine-150.png
[ -n "${KD7_WINE_ONLY_ZIP:-}" ] || in_prefix windows10 win64 win10 "Program Files (x86)" 96 kd7load-under-wine.png

tally test-windows
