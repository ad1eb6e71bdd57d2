#!/bin/sh
# Checks a built ornivel.exe: PE format of its architecture, GUI subsystem, and imports
# of Windows system libraries only (the C++ runtime is linked statically); the libraries
# that are not among the system's known libraries (winhttp, mpr, crypt32) are delay-imported
# (loaded from the system folder by the launcher itself), never imported the ordinary way,
# which would look for them beside the executable first.
arch=$1 exe=$2
objdump=$arch-w64-mingw32-objdump
[ "$arch" = x86_64 ] && want=pei-x86-64 || want=pei-i386
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$exe" ] || fail "$exe missing"
headers=$($objdump -f -p "$exe") || fail "objdump failed"
echo "$headers" | grep -q "file format $want" || fail "not $want"
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002' || fail "not the Windows GUI subsystem"
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|winhttp|ws2_32|wsock32|mpr|msvcrt|version|crypt32|api-ms-win-[a-z0-9-]+)\.dll$'
bad=$(echo "$dlls" | grep -Ev "$allowed" || true)
[ -z "$bad" ] || fail "imports non-system libraries: $bad"
planted=$(echo "$dlls" | grep -E '^(winhttp|mpr|crypt32|version)\.dll$' || true)
[ -z "$planted" ] || fail "imports libraries that a file beside it could replace: $planted"
for dll in winhttp mpr crypt32; do
  grep -aqi "$dll\.dll" "$exe" || fail "$dll.dll is not delay-imported"
done
echo "ok: $exe is $want, GUI, imports: $(echo $dlls); delay-imports: winhttp mpr crypt32"
