#!/usr/bin/env bash
# Checks what `make firmware` built, with tools independent of our own
# packaging tool: binutils' objdump for each PE32 image, Debian's
# uefitool-cli (UEFIExtract) for the firmware volume.
#
#   scripts/check-firmware.sh [FIRMWARE_DIR]     (default: build/firmware)
#
# Per image: i386, PE32, subsystem 11, entry point at _ModuleEntryPoint
# (which calls the module's ENTRY_POINT), base relocations kept, no
# imports, no symbols left undefined, every section read-only.
# Per firmware file in the volume: type PEIM, valid header and data
# checksums, the expected dependency expression, a PE32 section of
# subsystem 11 and machine x86, the user-interface name; the volume's
# header checksum valid.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build/firmware}
failures=0
passed=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

pass() {
  passed=$((passed + 1))
}

# Module, entry point of its .inf, expected depex as UEFIExtract prints it
# (one opcode per line, joined here with '|').
modules=(
  "ZorPei|ZorPeiEntryPoint|TRUE|END"
  "EventVaultPei|EventVaultPeiEntryPoint|TRUE|END"
  "VaultPolicyPei|VaultPolicyPeiEntryPoint|PUSH 01F34D25-4DE2-23AD-3FF3-36353FF323F1|END"
)

expect() {  # expect NAME TEXT PATTERN: TEXT has a line matching PATTERN
  if grep -q -E -- "$3" <<<"$2"; then pass; else fail "$1: no line matching '$3'"; fi
}

check_image() {
  local name=$1 entry=$2
  local image=$dir/$name.efi map=$dir/link/$name.map
  if [ ! -f "$image" ]; then
    fail "$name: $image was not built"
    return
  fi
  local headers sections symbols
  headers=$(objdump -f -p "$image")
  sections=$(objdump -h "$image")
  symbols=$(objdump -t "$image" 2>&1 || true)

  expect "$name.efi format" "$headers" 'file format pei-i386'
  expect "$name.efi machine" "$headers" '^architecture: i386'
  expect "$name.efi magic" "$headers" '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)'
  expect "$name.efi subsystem" "$headers" '^Subsystem[[:space:]]+0000000b[[:space:]]+\(EFI boot service driver\)'
  expect "$name.efi no imports" "$headers" '^Entry 1 00000000 00000000 Import Directory'
  expect "$name.efi no import address table" "$headers" '^Entry c 00000000 00000000 Import Address Table'
  if grep -q -E '^Entry 5 [0-9a-f]{8} 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers"; then
    pass
  else
    fail "$name.efi: base relocations missing"
  fi
  if grep -q 'The Import Tables' <<<"$headers"; then fail "$name.efi: has import tables"; else pass; fi
  if grep -q '\*UND\*' <<<"$symbols"; then fail "$name.efi: undefined symbols"; else pass; fi

  # Every section read-only: pre-memory PEIMs execute in place from flash.
  local writable
  writable=$(awk '/^ *[0-9]+ /{name=$2} /CONTENTS|ALLOC/{ if ($0 !~ /READONLY/) print name }' <<<"$sections")
  if [ -n "$writable" ]; then fail "$name.efi: writable sections: $writable"; else pass; fi

  # The entry point is _ModuleEntryPoint, and the module's own entry point
  # is in the image.
  local start rva
  start=$(sed -n 's/^start address 0x0*\([0-9a-f]*\)$/\1/p' <<<"$headers")
  rva=$(awk '$2 == "__ModuleEntryPoint" { print $3 }' "$map" | sed 's/^0*//' | tr 'A-F' 'a-f')
  if [ -n "$rva" ] && [ "$start" = "$rva" ]; then pass; else fail "$name.efi: entry point 0x$start is not _ModuleEntryPoint (0x$rva)"; fi
  if awk -v s="_$entry" '$2 == s { found = 1 } END { exit !found }' "$map"; then
    pass
  else
    fail "$name.efi: the .inf's ENTRY_POINT $entry is not in the image"
  fi
}

check_volume() {
  local fv=$dir/Tarvo3Pei.fv
  if [ ! -f "$fv" ]; then
    fail "Tarvo3Pei.fv was not built"
    return
  fi
  local work
  work=$(mktemp -d)
  cp "$fv" "$work/"
  (cd "$work" && UEFIExtract Tarvo3Pei.fv all >extract.log 2>&1) || true
  local root
  root=$(find "$work/Tarvo3Pei.fv.dump" -mindepth 1 -maxdepth 1 -type d -name '*8C8CE578-8A3D-4F1C-9935-896185C32DD3' | head -1)
  if [ -z "$root" ]; then
    fail "Tarvo3Pei.fv: UEFIExtract found no FFSv2 volume"
    cat "$work/extract.log" >&2
    rm -rf "$work"
    return
  fi
  expect "Tarvo3Pei.fv header checksum" "$(cat "$root/info.txt")" '^Checksum: [0-9A-F]+h, valid$'
  expect "Tarvo3Pei.fv erase polarity" "$(cat "$root/info.txt")" '^Erase polarity: 1$'

  for row in "${modules[@]}"; do
    IFS='|' read -r name _ depex1 depex2 <<<"$row"
    local file
    file=$(find "$root" -mindepth 1 -maxdepth 1 -type d -name "* $name" | head -1)
    if [ -z "$file" ]; then
      fail "Tarvo3Pei.fv: no file named $name"
      continue
    fi
    local info
    info=$(cat "$file/info.txt")
    expect "$name.ffs type" "$info" '^Type: 06h$'
    expect "$name.ffs subtype" "$info" '^Subtype: PEI module$'
    expect "$name.ffs UI name" "$info" "^Text: $name\$"
    expect "$name.ffs header checksum" "$info" '^Header checksum: [0-9A-F]+h, valid$'
    expect "$name.ffs data checksum" "$info" '^Data checksum: [0-9A-F]+h, valid$'

    local depex pe
    depex=$(find "$file" -mindepth 1 -maxdepth 1 -type d -name '* PEI dependency section' | head -1)
    pe=$(find "$file" -mindepth 1 -maxdepth 1 -type d -name '* PE32 image section' | head -1)
    if [ -z "$depex" ] || [ -z "$pe" ]; then
      fail "$name.ffs: dependency or PE32 section missing"
      continue
    fi
    local parsed
    parsed=$(sed -n '/^Parsed expression:/,$p' "$depex/info.txt" | tail -n +2 | paste -sd '|')
    if [ "$parsed" = "$depex1|$depex2" ]; then pass; else fail "$name.ffs: depex is '$parsed', not '$depex1|$depex2'"; fi
    expect "$name.ffs PE32 subsystem" "$(cat "$pe/info.txt")" '^Subsystem: 000Bh$'
    expect "$name.ffs PE32 machine" "$(cat "$pe/info.txt")" '^Machine type: x86$'
    expect "$name.ffs PE32 magic" "$(cat "$pe/info.txt")" '^Optional header signature: 010Bh$'
  done
  rm -rf "$work"
}

for row in "${modules[@]}"; do
  IFS='|' read -r name entry _ <<<"$row"
  check_image "$name" "$entry"
done
check_volume

echo "firmware: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
