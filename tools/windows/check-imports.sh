#!/usr/bin/env bash
# Whether Windows 7 SP1 can load the given programs and libraries: each must
# say it runs on Windows 6.1 or older (its PE subsystem version), and import
# nothing that arrived later. Wine implements the later functions whatever
# Windows version a prefix reports, so only this check sees them. Prints one
# line per offence; false when there is any.
# usage: check-imports.sh FILE.exe|FILE.dll...
set -euo pipefail
objdump=i686-w64-mingw32-objdump

# Libraries that Windows 7 SP1 does not have, and functions that a MinGW-built
# Qt program can pull in that arrived with a later Windows (by the Windows
# that brought them).
late_dlls='^(api-ms-win-.*|ext-ms-win-.*|shcore|dcomp|ucrtbase|vcruntime140|d3d12|windows\.ui.*)\.dll$'
late_functions=(
  # Windows 8
  GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 WaitOnAddress WakeByAddressSingle
  WakeByAddressAll GetOverlappedResultEx PrefetchVirtualMemory GetCurrentPackageId
  GetCurrentPackageFullName GetPackageFamilyName CreateFileMappingFromApp MapViewOfFileFromApp
  InitializeSynchronizationBarrier EnterSynchronizationBarrier DeleteSynchronizationBarrier
  GetPointerType GetPointerInfo GetPointerFrameInfo GetPointerPenInfo GetPointerTouchInfo
  EnableMouseInPointer RegisterPointerInputTarget InjectTouchInput GetPointerDevices
  GetDisplayAutoRotationPreferences SetDisplayAutoRotationPreferences IsImmersiveProcess
  GetProcessMitigationPolicy SetProcessMitigationPolicy GetFirmwareType
  # 7 SP1 only with update KB2533623
  SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory
  # Windows 8.1 and 10
  GetDpiForMonitor SetProcessDpiAwareness GetProcessDpiAwareness GetDpiForWindow GetDpiForSystem
  SetProcessDpiAwarenessContext SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext
  GetWindowDpiAwarenessContext AreDpiAwarenessContextsEqual GetAwarenessFromDpiAwarenessContext
  EnableNonClientDpiScaling AdjustWindowRectExForDpi GetSystemMetricsForDpi
  SystemParametersInfoForDpi SetThreadDescription GetThreadDescription GetSystemCpuSetInformation
  SetThreadSelectedCpuSets ProcessPrng
)

offences=0
offend() { echo "$1"; offences=$((offences + 1)); }

for file in "$@"; do
  dump=$("$objdump" -p "$file") || { offend "$file: not a PE file objdump can read"; continue; }
  major=$(awk '/^MajorSubsystemVersion/ {print $2}' <<<"$dump")
  minor=$(awk '/^MinorSubsystemVersion/ {print $2}' <<<"$dump")
  [ $((major * 100 + minor)) -le 601 ] || offend "$file: needs Windows $major.$minor (subsystem version)"
  # "DLL!function" for every import by name.
  imports=$(awk '/DLL Name:/ {dll = $3; next}
                 dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ {print dll "!" $3}
                 /^$/ {dll = ""}' <<<"$dump")
  while read -r dll; do
    [ -z "$dll" ] || ! grep -Eiq "$late_dlls" <<<"$dll" || offend "$file: imports $dll, which Windows 7 lacks"
  done < <(awk '/DLL Name:/ {print $3}' <<<"$dump")
  for function in "${late_functions[@]}"; do
    while read -r hit; do
      [ -z "$hit" ] || offend "$file: imports $hit, which Windows 7 SP1 lacks"
    done < <(grep -E "!$function\$" <<<"$imports" || true)
  done
done
echo "check-imports: $# files, $offences offences"
[ "$offences" -eq 0 ]
