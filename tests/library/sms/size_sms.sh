#!/usr/bin/env bash
# Flash and static RAM of SMS Send, SMS Receive and USSD in a linked firmware (Cortex-M0+ -Os with
# newlib-nano and ATmega2560 -Os, both with --gc-sections): flash per object from the linker map,
# RAM = size of each module instance (the manager's variable) minus its text buffers. Code of the
# utilities that only these modules use (the message text routine) is counted with them.
#
# Usage: tests/library/sms/size_sms.sh [work folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../../.." && pwd)
lib=$root/resources/velkor
tl=$root/tests/library
work=${1:-$(mktemp -d)}
mkdir -p "$work"

core=(GSM_Util GSM_Power GSM_Prompt GSM_Prompt_Helper GSM_BasicComms GSM_PIN GSM_SignalQuality GSM_NetworkRegistration)
mine=(GSM_SMS_Send GSM_SMS_Read GSM_USSD)

# flash bytes (text + rodata + data) from the GNU ld map: map_flash <map> <object file name> [<section>]
# sums the input sections of that object (any object when the name is empty), only those named
# <section> when one is given (e.g. ".text.gsmUtilTextPut")
map_flash() {
  awk -v obj="$2" -v sec="${3:-}" '
    function hex(s,   i, c, v) { v = 0; s = tolower(s); sub(/^0x/, "", s); for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c } return v }
    /^Linker script and memory map/ { inmap = 1; next }
    !inmap { next }
    {
      if (pending != "") { line = pending " " $0; pending = "" } else { line = $0 }
      n = split(line, f, " ")
      if (n == 1 && f[1] ~ /^\.(text|rodata|data)/) { pending = f[1]; next }
      if (n < 4 || f[1] !~ /^\.(text|rodata|data)/ || f[2] !~ /^0x/ || (sec != "" && f[1] != sec)) next
      o = f[4]; sub(/.*\//, "", o)
      if (obj == "" || o == obj) s += hex(f[3])
    }
    END { print s + 0 }' "$1"
}
object_flash() { map_flash "$1" "$2.o"; }

symbol_size() {
  local hexsize
  hexsize=$("$1" -S "$2" | awk -v sym="$3" '$4 == sym { print $2 }')
  echo $((16#${hexsize:-0}))
}

. "$tl/size/report_lib.sh"
# The firmware is wired by the manager unit the program generates for these modules.
mgr=$work/manager
generated_manager "$mgr" Power,Prompt,BasicComms,Pin,RSSI,NetworkRegistration,SMS_Send,SMS_Read,USSD

report() {
  local name=$1 cc=$2 nm=$3 flags=$4 ldflags=$5
  local dir=$work/$name
  mkdir -p "$dir"
  if ! command -v "$cc" >/dev/null 2>&1; then
    echo "== $name: SKIPPED ($cc not found)"
    return
  fi
  local objs=()
  for m in "${core[@]}" "${mine[@]}"; do
    $cc $flags -I"$lib" -c "$lib/$m.c" -o "$dir/$m.o"
    objs+=("$dir/$m.o")
  done
  local inc="-I$lib -I$tl/harness -I$mgr -I$tl/sim -I$tl/sms -I$tl/scenario"
  $cc $flags $inc -c "$mgr/gsm_manager.c" -o "$dir/gsm_manager.o"
  $cc $flags $inc -c "$tl/sms/fw_sms_main.c" -o "$dir/fw_sms_main.o"
  $cc $flags $inc -c "$tl/size/fw_harness_hal.c" -o "$dir/fw_harness_hal.o"
  $cc $flags $ldflags -Wl,--gc-sections -Wl,-Map="$dir/fw.map" "${objs[@]}" "$dir/gsm_manager.o" "$dir/fw_sms_main.o" \
    "$dir/fw_harness_hal.o" -o "$dir/fw.elf"
  local f1 f2 f3 f4 r1 r2 r3
  f1=$(object_flash "$dir/fw.map" GSM_SMS_Send)
  f2=$(object_flash "$dir/fw.map" GSM_SMS_Read)
  f3=$(object_flash "$dir/fw.map" GSM_USSD)
  f4=$(map_flash "$dir/fw.map" GSM_Util.o .text.gsmUtilTextPut)
  r1=$(symbol_size "$nm" "$dir/fw.elf" mGsmSmsSendInst)
  r2=$(symbol_size "$nm" "$dir/fw.elf" mGsmSmsReadInst)
  r3=$(symbol_size "$nm" "$dir/fw.elf" mGsmUssdInst)
  echo "== $name ($cc $flags)"
  printf "  %-14s %8s %14s %14s\n" module "flash B" "RAM B (state)" "text buffers B"
  local b1 b2 b3
  read -r b1 b2 b3 < <(text_buffers "$cc" "$lib")
  printf "  %-14s %8d %14d %14d\n" GSM_SMS_Send "$f1" $((r1 - b1)) $b1
  printf "  %-14s %8d %14d %14d\n" GSM_SMS_Read "$f2" $((r2 - b2)) $b2
  printf "  %-14s %8d %14d %14d\n" GSM_USSD "$f3" $((r3 - b3)) $b3
  printf "  %-14s %8d %14s %14s   (in GSM_Util, used only by these modules)\n" gsmUtilTextPut "$f4" - -
  printf "  %-14s %8d %14d %14d\n" TOTAL $((f1 + f2 + f3 + f4)) $((r1 + r2 + r3 - b1 - b2 - b3)) $((b1 + b2 + b3))
  if [ "$name" = atmega2560 ]; then
    echo "  (avr-gcc also copies constant strings and tables to RAM at start; they are counted in flash here)"
  fi
}

report cortex-m0plus arm-none-eabi-gcc arm-none-eabi-nm \
  "-mcpu=cortex-m0plus -mthumb -Os -ffunction-sections -fdata-sections -std=c99" \
  "--specs=nano.specs --specs=nosys.specs"
report atmega2560 avr-gcc avr-nm "-mmcu=atmega2560 -Os -ffunction-sections -fdata-sections -std=c99" ""
