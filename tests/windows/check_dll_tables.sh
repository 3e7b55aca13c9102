#!/usr/bin/env bash
# usage: check_dll_tables.sh OBJDUMP LIBRARY.dll
# Fails unless the library exports exactly mainDLLInit (undecorated) and imports
# from no DLL beyond KERNEL32, USER32, GDI32 and msvcrt.
set -euo pipefail
[[ $# == 2 ]] || { echo "usage: check_dll_tables.sh OBJDUMP LIBRARY.dll" >&2; exit 2; }
objdump=$1 library=$2

tables=$("$objdump" -p "$library") || { echo "cannot read $library" >&2; exit 1; }

# Export names: the lines after "[Ordinal/Name Pointer] Table" up to a blank line.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
               on && NF == 0 {on = 0}
               on {print $NF}' <<<"$tables" | sort | tr '\n' ' ')
[[ $exports == "mainDLLInit " ]] || { echo "exports are '${exports}', not just mainDLLInit" >&2; exit 1; }

imports=$(awk '/DLL Name:/ {print toupper($3)}' <<<"$tables" | sort -u | tr '\n' ' ')
[[ -n $imports ]] || { echo "no import table found in $library" >&2; exit 1; }
for dll in $imports; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
    *) echo "imports $dll (all imports: $imports)" >&2; exit 1 ;;
  esac
done
