#!/usr/bin/env bash
# Static checks of both builds: every DLL and EXE imports only Windows system
# DLLs (no compiler run-time DLLs), sondrel.oin exports exactly the fourteen
# plain names and VKLShared.dll its seven, each file is built for its machine.
# Usage: check_binaries.sh X86_64_BIN I686_BIN
set -uo pipefail
declare -A MACHINE=([x86_64]="pei-x86-64" [i686]="pei-i386")
SYSTEM_DLLS="kernel32 user32 gdi32 shell32 comdlg32 comctl32 winmm advapi32 msvcrt ole32 oleaut32
 shlwapi uxtheme version msimg32 ws2_32 ntdll psapi"
PLUGIN_EXPORTS="createUserInterface destroyUserInterface execCommandString getInterfaceVersion getPluginInfo
 getPluginKind onPluginSwitch onStreamingError readStreamChannel setEventCallback setInternalCallback
 setPluginHandle setupAudioSystem supportNumChannels"
SHARED_EXPORTS="CloseSplashWindow GetErrorText HandleVKLHelp SetOrvanTrayIcon ShowSplashWindow ShowVKLError
 UpdateSplashText"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The export names of a PE file, sorted, one per line.
exports_of() {
  "$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort
}
sorted() { tr ' \n' '\n\n' <<<"$1" | sed '/^$/d' | sort; }

check_target() {
  local target=$1 bin=$2 objdump="$1-w64-mingw32-objdump" count=0
  if [ ! -d "$bin" ]; then fail "$bin is missing (build the $target target first: ./sondrel build $target)"; return; fi
  for needed in sondrel.oin VKLShared.dll orvan-host.exe; do
    [ -f "$bin/$needed" ] || fail "$target: $needed is missing from $bin"
  done
  shopt -s nullglob
  for file in "$bin"/*.dll "$bin"/*.oin "$bin"/*.exe; do
    count=$((count + 1))
    local name=${file##*/}
    local format
    format=$("$objdump" -f "$file" | sed -n 's/.*file format //p')
    [ "$format" = "${MACHINE[$target]}" ] || fail "$target/$name: file format '$format', expected ${MACHINE[$target]}"
    local dll
    for dll in $("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
      local base
      base=$(tr 'A-Z' 'a-z' <<<"${dll%.*}")
      grep -qw -- "$base" <<<"$SYSTEM_DLLS" || fail "$target/$name imports $dll, which is not a Windows system DLL"
    done
  done
  [ $count -gt 0 ] || fail "$target: no DLL or EXE in $bin"
  [ "$(exports_of "$objdump" "$bin/sondrel.oin")" = "$(sorted "$PLUGIN_EXPORTS")" ] ||
    fail "$target/sondrel.oin exports: $(exports_of "$objdump" "$bin/sondrel.oin" | tr '\n' ' ')"
  [ "$(exports_of "$objdump" "$bin/VKLShared.dll")" = "$(sorted "$SHARED_EXPORTS")" ] ||
    fail "$target/VKLShared.dll exports: $(exports_of "$objdump" "$bin/VKLShared.dll" | tr '\n' ' ')"
  echo "$target: checked $count files in $bin"
}

check_target x86_64 "$1"
check_target i686 "$2"
[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all binaries import only system DLLs; exports are exact"
