#!/usr/bin/env bash
# check-module.sh DLL i686|x86_64 MAP [CERT]: inspects the built plug-in module as a file, with
# binutils: machine, DLL flag, required Windows version, hardening flags, exports, imports,
# size, version resource and the FINDCLIENT dialog template; in the linker's map of the
# module, that nothing test-only, that the stack cookies are there, no static constructor and no exception handler table went
# into it; and, given the signing certificate CERT, that its Authenticode signature is intact
# and made with CERT (a self-signed test certificate is its own root: -CAfile).
set -u
dll=${1:?module path}
arch=${2:?i686 or x86_64}
map=${3:?link map of the module}
cert=${4:-}
triple=$arch-w64-mingw32
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_line() {  # expect_line TEXT WHAT: TEXT must stand as a whole line (spaces trimmed) in $out
  grep -qxF -- "$1" <<<"$out" || fail "$2: missing line: $1"
}

[ -f "$dll" ] || { echo "FAIL: no file $dll"; exit 1; }

# Machine and the DLL flag.
head=$("$triple-objdump" -f "$dll")
case $arch in
  i686) grep -q 'file format pei-i386' <<<"$head" || fail "machine is not i386" ;;
  x86_64) grep -q 'file format pei-x86-64' <<<"$head" || fail "machine is not x86-64" ;;
esac
pe=$("$triple-objdump" -p "$dll")
chars=$(awk '/^Characteristics/ {print $2; exit}' <<<"$pe")
(( (chars & 0x2000) != 0 )) || fail "Characteristics $chars lacks the DLL flag"
grep -qP '^MajorSubsystemVersion\t4$' <<<"$pe" || fail "subsystem version is not 4.x"
grep -qP '^MinorSubsystemVersion\t0$' <<<"$pe" || fail "subsystem version is not 4.0"

# Hardening: DYNAMIC_BASE (0x40) and NX_COMPAT (0x100) on both; HIGH_ENTROPY_VA (0x20) on
# x86-64; NO_SEH (0x400) on i686, true only while the link map holds no handler table.
dllchars=$((0x$(awk '/^DllCharacteristics/ {print $2; exit}' <<<"$pe")))
want=$((0x40 | 0x100))
case $arch in
  i686) want=$((want | 0x400)) ;;
  x86_64) want=$((want | 0x20)) ;;
esac
(( (dllchars & want) == want )) || fail "DllCharacteristics $(printf %#x "$dllchars") lacks $(printf %#x $((want & ~dllchars)))"

# Exports: the directory names the module KVL32.DLL and holds exactly seven names: the five
# of ordinals 1..5, then NP_Initialize and NP_Shutdown (6, 7) as aliases of NP_PluginInit and
# NP_PluginShutdown.
grep -qE '^Name[[:space:]]+[0-9a-f]+ KVL32\.DLL$' <<<"$pe" || fail "export directory does not name KVL32.DLL"
grep -qE '^Ordinal Base[[:space:]]+1$' <<<"$pe" || fail "ordinal base is not 1"
name_table=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$pe" |
  sed -nE 's/^[[:space:]]*\[[[:space:]]*([0-9]+)\][[:space:]]+([^[:space:]]+)$/\2=\1/p')
names=$(sed 's/=.*//' <<<"$name_table" | sort | tr '\n' ' ')
[ "$names" = "FCDLGProc NP_GetEntryPoints NP_Initialize NP_PluginInit NP_PluginShutdown NP_Shutdown SubClassProc " ] ||
  fail "export names are: $names"
# Ordinals: seven entries in the export address table; objdump lists each name with its index
# into that table, which is the ordinal less the base.
address_table=$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$pe" |
  sed -nE 's/^[[:space:]]*\[[[:space:]]*([0-9]+)\].*[[:space:]]([0-9a-f]+) Export RVA$/\1=\2/p')
count=$(grep -c . <<<"$address_table")
[ "$count" = 7 ] || fail "export address table has $count entries"
want_ordinals="NP_GetEntryPoints=1 NP_PluginInit=2 NP_PluginShutdown=3 SubClassProc=4 FCDLGProc=5
  NP_Initialize=6 NP_Shutdown=7"
for pair in $want_ordinals; do
  name=${pair%=*} ord=${pair#*=}
  grep -qxF "$name=$((ord - 1))" <<<"$name_table" || fail "$name is not ordinal $ord"
done
# The aliases are the same functions: ordinals 6 and 7 hold the addresses of 2 and 3.
rva() { sed -n "s/^$1=//p" <<<"$address_table"; }
[ -n "$(rva 1)" ] && [ "$(rva 5)" = "$(rva 1)" ] || fail "NP_Initialize is not at NP_PluginInit's address"
[ -n "$(rva 2)" ] && [ "$(rva 6)" = "$(rva 2)" ] || fail "NP_Shutdown is not at NP_PluginShutdown's address"

# Imports: loading maps only what loading needs, and no C runtime DLL. COMDLG32 and WINMM
# are loaded when first used.
imports=$(grep -oP '^\tDLL Name: \K.*' <<<"$pe" | tr 'A-Z' 'a-z' | sort -u)
for lib in $imports; do
  case $lib in
    kernel32.dll|user32.dll|advapi32.dll) ;;
    *) fail "imports $lib" ;;
  esac
done
grep -qP '^\tDLL Name: ' <<<"$pe" || fail "no import table found"

# Size: the shipped 32-bit module's image fits in 22 KiB. The Authenticode certificate table
# is appended past the image and the loader never maps it, so it does not count (its size
# is the signer's: a certificate chain runs from about 1.5 to 6 KiB).
size=$(stat -c %s "$dll")
read -r cert_offset cert_size < <(awk '/Security Directory$/ {print $3, $4; exit}' <<<"$pe")
cert_size=$((0x${cert_size:-0}))
image_size=$size
if (( cert_size != 0 )); then
  (( 0x$cert_offset + cert_size == size )) || fail "the certificate table does not end the file"
  image_size=$((0x$cert_offset))
fi
if [ "$arch" = i686 ] && [ "$image_size" -gt 22528 ]; then fail "image is $image_size bytes, above 22528"; fi

# The link map: only its memory map counts (what the linker kept; the discarded come before).
kept=$(sed -n '/^Linker script and memory map/,$p' "$map")
grep -q 'NP_GetEntryPoints' <<<"$kept" || fail "the map $map lists no NP_GetEntryPoints"
test_only=$(grep -oiE '[^[:space:]]*fortests?[^[:space:]]*' <<<"$kept" | sort -u)
[ -z "$test_only" ] || fail "test-only code in the module: $test_only"
# Static constructors would never run: there is no C runtime to call them.
ctors=$(grep -E '^ \.(ctors|init_array|CRT\$XC)[^[:space:]]*[[:space:]]+0x[0-9a-f]+[[:space:]]+0x[0-9a-f]*[1-9a-f]' <<<"$kept")
[ -z "$ctors" ] || fail "static constructors in the module: $ctors"
# Stack cookies: the module's own guard and failure routine. The routine has a section of its
# own, which the link keeps only while protected frames refer to it.
for symbol in __stack_chk_guard __stack_chk_fail; do
  grep -qE "^ +0x[0-9a-f]+ +_?$symbol\$" <<<"$kept" || fail "no $symbol in the module: no stack cookies"
done
# NO_SEH holds only without a safe exception handler table.
! grep -qE '^ ?\.sxdata|__safe_se_handler' <<<"$kept" || fail "the module has an exception handler table (.sxdata)"

# The signature.
if [ -n "$cert" ]; then
  (( cert_size != 0 )) || fail "the module is not signed"
  verified=$(osslsigncode verify -CAfile "$cert" -in "$dll" 2>&1) ||
    fail "signature does not verify against $cert: $(tail -3 <<<"$verified")"
fi

# Resources, decompiled by windres.
out=$("$triple-windres" -i "$dll" -O rc 2>&1 | sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//')
expect_line 'FILEVERSION 1, 0, 0, 1' "version"
expect_line 'PRODUCTVERSION 1, 0, 0, 1' "version"
expect_line 'FILEOS 0x4' "version (32-bit Windows)"
expect_line 'FILETYPE 0x2' "version (DLL)"
expect_line 'BLOCK "040904e4"' "version"
expect_line 'VALUE "MIMEType", "application/x-kvla"' "version"
expect_line 'VALUE "FileExtents", "kvl"' "version"
expect_line 'VALUE "FileOpenName", "Kelvora Plugin (*.kvl)"' "version"
expect_line 'VALUE "FileDescription", "Kelvora PlugIn DLL"' "version"
expect_line 'VALUE "InternalName", "ZUROV"' "version"
expect_line 'VALUE "OriginalFilename", "ZUROV.DLL"' "version"
expect_line 'VALUE "ProductName", "ZUROV Dynamic Link Library"' "version"
expect_line 'VALUE "FileVersion", "1, 0, 0, 1"' "version"
expect_line 'VALUE "ProductVersion", "1, 0, 0, 1"' "version"
expect_line 'VALUE "Translation", 0x409, 1252' "version"
# The version resource itself is U.S. English; the dialog is language neutral.
awk '/^LANGUAGE/ {lang=$0} /VERSIONINFO$/ {print lang}' <<<"$out" | grep -qxF 'LANGUAGE 9, 1' ||
  fail "version resource is not language 0x0409"
awk '/^LANGUAGE/ {lang=$0} /^"FINDCLIENT" DIALOG / {print lang}' <<<"$out" | grep -qxF 'LANGUAGE 0, 0' ||
  fail "FINDCLIENT is not a language-neutral classic DIALOG"
# The template: WS_VISIBLE | WS_CAPTION | DS_MODALFRAME, no font, five controls with explicit styles.
dialog=$(sed -n '/^"FINDCLIENT" DIALOG /,/^END$/p' <<<"$out")
want_dialog='"FINDCLIENT" DIALOG 50, 8, 170, 62
STYLE 0x10c00080
CAPTION "Finding Kelvora Client Application"
BEGIN
LTEXT "Kelvora Client", 65535, 10, 10, 150, 10, 0x50020000
EDITTEXT 1000, 10, 20, 110, 12, 0x50810000
PUSHBUTTON "&Browse", 1010, 130, 20, 30, 12, 0x50010000
DEFPUSHBUTTON "&OK", 1, 120, 40, 40, 12, 0x50010001
PUSHBUTTON "&CANCEL", 2, 70, 40, 40, 12, 0x50010000
END'
[ "$dialog" = "$want_dialog" ] || fail "FINDCLIENT template differs:
$dialog"

if [ "$failures" -ne 0 ]; then
  echo "$dll: $failures check(s) failed"
  exit 1
fi
echo "$dll ($size bytes, image $image_size; imports $(tr '\n' ' ' <<<"$imports")): machine, hardening, exports, imports, size, version resource, dialog, link map${cert:+ and signature} as expected"
