#!/usr/bin/env bash
# Size and speed report of the Velkor modem library core modules.
#
#  1. Links a small firmware (the core modules wired by the generated manager, with register-level
#     hardware callbacks) for Cortex-M0+ (-Os, newlib-nano, --gc-sections) and ATmega2560 (-Os,
#     --gc-sections) and prints flash and static RAM per module from the linker map.
#  2. Counts host instructions per gsmmgrPoll() with valgrind --tool=callgrind: idle polls and the
#     longest single poll of a scenario against the modem simulator.
#
# Usage: scripts/size_report.sh [work folder]   (default: a temporary folder)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
lib=$root/resources/velkor
tl=$root/tests/library
work=${1:-$(mktemp -d)}
mkdir -p "$work"
. "$tl/size/report_lib.sh"
# The manager unit the program generates for the core modules wires the firmware.
mgr=$work/manager
generated_manager "$mgr" Power,Prompt,BasicComms,Pin,RSSI,NetworkRegistration

modules=(GSM_Util GSM_Power GSM_Prompt GSM_Prompt_Helper GSM_BasicComms GSM_PIN GSM_SignalQuality GSM_NetworkRegistration)
wiring=gsm_manager
# User buffers declared by the manager (the Prompt's line and echo buffers): reported apart.
user_buffers='mau8GsmPromptBuff|mau8UartGsmEchoCancelBuff'


# Symbol size of the user buffers (from nm).
user_buffer_bytes() {
  "$1" -S --size-sort "$2" | awk -v re="$user_buffers" '
    function hex(s,   i, c, v) { v = 0; s = tolower(s); for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c } return v }
    $4 ~ re { s += hex($2) } END { print s + 0 }'
}

report_target() {
  local name=$1 cc=$2 nm=$3 flags=$4 ldflags=$5
  local dir=$work/$name
  mkdir -p "$dir"
  if ! command -v "$cc" >/dev/null 2>&1; then
    echo "== $name: SKIPPED ($cc not found)"
    return
  fi
  local objs=()
  for m in "${modules[@]}"; do
    $cc $flags -I"$lib" -c "$lib/$m.c" -o "$dir/$m.o"
    objs+=("$dir/$m.o")
  done
  $cc $flags -I"$lib" -I"$tl/harness" -I"$mgr" -I"$tl/sim" -c "$mgr/gsm_manager.c" -o "$dir/$wiring.o"
  $cc $flags -I"$lib" -I"$tl/harness" -I"$mgr" -I"$tl/sim" -c "$tl/size/fw_main.c" -o "$dir/fw_main.o"
  $cc $flags -I"$lib" -I"$tl/harness" -I"$mgr" -I"$tl/sim" -c "$tl/size/fw_harness_hal.c" -o "$dir/fw_harness_hal.o"
  $cc $flags $ldflags -Wl,--gc-sections -Wl,-Map="$dir/fw.map" "${objs[@]}" "$dir/$wiring.o" "$dir/fw_main.o" \
    "$dir/fw_harness_hal.o" -o "$dir/fw.elf"
  local ub
  ub=$(user_buffer_bytes "$nm" "$dir/fw.elf")
  echo "== $name ($cc $flags)"
  map_sizes "$dir/fw.map" | sort > "$dir/sizes.txt"
  # avr-gcc keeps constant data (.rodata: strings, tables) in RAM as well: it is copied there at start.
  local rodata_ram=0
  [ "$name" = atmega2560 ] && rodata_ram=1
  awk -v ub="$ub" -v mods="${modules[*]} $wiring" -v rodata_ram="$rodata_ram" '
    BEGIN { n = split(mods, order, " ") }
    { t[$1] = $2; r[$1] = $3; d[$1] = $4; b[$1] = $5 }
    END {
      printf "  %-26s %8s %8s\n", "module", "flash B", "RAM B"
      for (i = 1; i <= n; i++) {
        o = order[i]; fl = t[o] + r[o] + d[o]; ram = d[o] + b[o] + (rodata_ram ? r[o] : 0)
        if (o == "gsm_manager") { ram -= ub; label = "manager wiring (no buffers)" } else label = o
        printf "  %-26s %8d %8d\n", label, fl, ram; tf += fl; tr += ram
      }
      printf "  %-26s %8d %8d\n", "TOTAL library + wiring", tf, tr
      printf "  %-26s %8s %8d\n", "user buffers (excluded)", "", ub
      if (rodata_ram) printf "  (RAM includes the constant strings and tables, which avr-gcc places in RAM)\n"
    }' "$dir/sizes.txt"
  echo "  whole firmware image (with C runtime and startup):"
  case "$name" in
    cortex-m0plus) arm-none-eabi-size "$dir/fw.elf" | sed 's/^/    /' ;;
    atmega2560) avr-size "$dir/fw.elf" | sed 's/^/    /' ;;
  esac
}

report_target cortex-m0plus arm-none-eabi-gcc arm-none-eabi-nm \
  "-mcpu=cortex-m0plus -mthumb -Os -ffunction-sections -fdata-sections -std=c99" \
  "--specs=nano.specs --specs=nosys.specs"
report_target atmega2560 avr-gcc avr-nm \
  "-mmcu=atmega2560 -Os -ffunction-sections -fdata-sections -std=c99" ""

# ---- instructions per poll (host, callgrind) ----
echo "== host instructions per gsmmgrPoll() (x86-64, gcc -Os, valgrind callgrind)"
if ! command -v valgrind >/dev/null 2>&1; then
  echo "  SKIPPED (valgrind not found)"
  exit 0
fi
perf=$work/perf
mkdir -p "$perf"
gcc -std=c99 -Os -g -D_POSIX_C_SOURCE=200809L -DHARNESS_ECHO_ON=1 -I"$lib" -I"$tl/harness" -I"$mgr" -I"$tl/sim" \
  "$tl/size/perf_polls.c" "$tl/harness/harness.c" "$mgr/gsm_manager.c" "$tl/sim/modem_sim.c" \
  $(for m in "${modules[@]}"; do echo "$lib/$m.c"; done) -o "$perf/perf_polls"
rm -f "$perf"/callgrind.out.*
(cd "$perf" && valgrind --tool=callgrind --dump-instr=no --compress-strings=no --compress-pos=no \
  --callgrind-out-file="$perf/callgrind.out.%p" ./perf_polls 2>/dev/null | sed 's/^/  scenario end: /')
awk '
  FNR == 1 { kind = "" }
  /^desc: Trigger: Client Request: / { kind = $5 }
  /^summary:/ || /^totals:/ {
    if (kind == "") next
    v = $2
    if (kind == "busy") { nb++; if (v > maxb) maxb = v; sb += v }
    if (kind == "idle") { ni++; if (v > maxi) maxi = v; si += v; if (mini == 0 || v < mini) mini = v }
    if (kind == "sending") { ns++; if (v > maxs) maxs = v }
    kind = ""
  }
  END {
    if (ni > 0) printf "  idle poll (established, nothing received or sent): min %d, mean %d, max %d instructions (%d samples)\n", mini, si / ni, maxi, ni
    if (ns > 0) printf "  polls without received bytes that sent a timed command: longest %d instructions (%d samples)\n", maxs, ns
    if (nb > 0) printf "  polls with received bytes: mean %d, longest %d instructions (%d polls)\n", sb / nb, maxb, nb
  }' "$perf"/callgrind.out.*
for f in "$perf"/callgrind.out.*; do
  grep -q "Client Request: idle" "$f" && awk '/^summary:/ { print $2 }' "$f"
done | sort -n | awk '{ v[NR] = $1 } END { if (NR > 0) printf "  idle poll median: %d instructions\n", v[int((NR + 1) / 2)] }'
