#!/bin/sh
# Checks a built ornivel.exe: PE format of its architecture, GUI subsystem, and imports
# of Windows system libraries only (the C++ runtime is linked statically).
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
echo "ok: $exe is $want, GUI, imports: $(echo $dlls)"
