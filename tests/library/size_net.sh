#!/usr/bin/env bash
# Size report of the internet connection, HTTP and MQTT modules, and of the whole library for an LTE
# modem with every module: links tests/library/size_net/fw_all.c (every module wired as the manager
# wires them; the application in fw_app.c, which calls every operation, is reported apart) for
# Cortex-M0+ (-Os, newlib-nano, --gc-sections) and ATmega2560 (-Os, --gc-sections) and sums flash
# (text + rodata + data) and static RAM (data + bss; on AVR also rodata, which avr-gcc copies into
# RAM) per object from the linker map. The user buffers of the firmware (Prompt line and echo
# buffers, HTTP body buffer, MQTT receive buffer, and the message text storage of the SMS and USSD
# instances, whose sizes are user settings) are reported apart.
#
# Usage: tests/library/size_net.sh [work folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
lib=$root/resources/velkor
work=${1:-$(mktemp -d)}
mkdir -p "$work"
. "$root/tests/library/size/report_lib.sh"

all_modules=(GSM_Util GSM_Power GSM_Prompt GSM_Prompt_Helper GSM_BasicComms GSM_PIN GSM_SignalQuality GSM_NetworkRegistration
             GSM_SMS_Send GSM_SMS_Read GSM_USSD GSM_Internet_Helper GSM_InternetConnection_Simcom GSM_HttpClient_Simcom
             GSM_MqttClient_Simcom)
net_modules="GSM_Internet_Helper GSM_InternetConnection_Simcom GSM_HttpClient_Simcom GSM_MqttClient_Simcom"
user_buffers='mau8GsmPromptBuff|mau8UartGsmEchoCancelBuff|mau8HttpBody|mau8MqttRx'

# user buffers of a linked firmware: the buffer variables plus the message text inside the SMS / USSD
# instances (arguments: nm, elf, compiler)
user_buffer_bytes() {
  local texts
  texts=$(text_buffers "$3" "$lib" | awk '{ print $1 + $2 + $3 }')
  "$1" -S --size-sort "$2" | awk -v re="$user_buffers" -v texts="$texts" '
    function hex(s,   i, c, v) { v = 0; s = tolower(s); for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c } return v }
    $4 ~ re { s += hex($2) } END { print s + texts }'
}

report() {
  local name=$1 cc=$2 nm=$3 flags=$4 ldflags=$5 dir=$work/$1 variant=${6:-}
  mkdir -p "$dir"
  if ! command -v "$cc" >/dev/null 2>&1; then
    echo "== $name: SKIPPED ($cc not found)"
    return
  fi
  local objs=() m
  for m in "${all_modules[@]}"; do
    $cc $flags -I"$lib" -c "$lib/$m.c" -o "$dir/$m.o"
    objs+=("$dir/$m.o")
  done
  $cc $flags $variant -I"$lib" -c "$root/tests/library/size_net/fw_all.c" -o "$dir/fw_all.o"
  $cc $flags $variant -I"$lib" -c "$root/tests/library/size_net/fw_app.c" -o "$dir/fw_app.o"
  $cc $flags $ldflags -Wl,--gc-sections -Wl,-Map="$dir/fw.map" "${objs[@]}" "$dir/fw_all.o" "$dir/fw_app.o" -o "$dir/fw.elf"
  local ub rodata_ram=0
  ub=$(user_buffer_bytes "$nm" "$dir/fw.elf" "$cc")
  [ "$name" = atmega2560 ] && rodata_ram=1
  echo "== $name ($cc $flags)"
  map_sizes "$dir/fw.map" | sort > "$dir/sizes.txt"
  awk -v ub="$ub" -v mods="${all_modules[*]} fw_all" -v net="$net_modules" -v rodata_ram="$rodata_ram" -v netlabel="${net_label:-}" '
    BEGIN { n = split(mods, order, " "); split(net, nl, " "); for (i in nl) isnet[nl[i]] = 1 }
    { t[$1] = $2; r[$1] = $3; d[$1] = $4; b[$1] = $5 }
    END {
      printf "  %-34s %8s %8s\n", "module", "flash B", "RAM B"
      for (i = 1; i <= n; i++) {
        o = order[i]; fl = t[o] + r[o] + d[o]; ram = d[o] + b[o] + (rodata_ram ? r[o] : 0)
        if (o == "fw_all") { ram -= ub; label = "manager wiring (no buffers)" } else label = o
        printf "  %-34s %8d %8d\n", label, fl, ram; tf += fl; tr += ram
        if (o in isnet) { nf += fl; nr += ram }
      }
      printf "  %-34s %8d %8d\n", (netlabel != "" ? netlabel : "internet + HTTP + MQTT modules"), nf, nr
      printf "  %-34s %8d %8d\n", "TOTAL library + manager", tf, tr
      printf "  %-34s %8s %8d\n", "user buffers (excluded)", "", ub
      printf "  %-34s %8d %8d\n", "application (excluded)", t["fw_app"] + r["fw_app"] + d["fw_app"], d["fw_app"] + b["fw_app"] + (rodata_ram ? r["fw_app"] : 0)
    }' "$dir/sizes.txt"
  echo "  (module RAM = the instance of the module, which the manager defines, is counted under the manager wiring)"
}

report cortex-m0plus arm-none-eabi-gcc arm-none-eabi-nm \
  "-mcpu=cortex-m0plus -mthumb -Os -ffunction-sections -fdata-sections -std=c99" "--specs=nano.specs --specs=nosys.specs"
report atmega2560 avr-gcc avr-nm "-mmcu=atmega2560 -Os -ffunction-sections -fdata-sections -std=c99" ""

# Static RAM of each module: its instance, which the manager defines (Cortex-M0+ firmware above).
if [ -f "$work/cortex-m0plus/fw.elf" ]; then
  echo "== instances on Cortex-M0+ (bytes of static RAM per module)"
  arm-none-eabi-nm -S --size-sort "$work/cortex-m0plus/fw.elf" | awk '$4 ~ /^mGsm.*Inst$/ { print $2, $4 }' | while read -r size name; do
    printf "  %-36s %5d\n" "$name" "$((16#$size))"
  done
  arm-none-eabi-nm -S "$work/cortex-m0plus/fw.elf" | awk '$4 ~ /^mGsm(InternetConnectionSimcom|HttpClientSimcom|MqttClientSimcom)Inst$/ { print $2 }' |
    while read -r size; do echo $((16#$size)); done | awk '{ s += $1 } END { printf "  %-36s %5d\n", "internet + HTTP + MQTT instances", s }'
fi

# The same firmware with the 2G connection instead of the LTE one (HTTP over 2G; MQTT needs LTE).
all_modules=(GSM_Util GSM_Power GSM_Prompt GSM_Prompt_Helper GSM_BasicComms GSM_PIN GSM_SignalQuality GSM_NetworkRegistration
             GSM_SMS_Send GSM_SMS_Read GSM_USSD GSM_Internet_Helper GSM_InternetConnection_Simcom2G GSM_HttpClient_Simcom)
net_modules="GSM_Internet_Helper GSM_InternetConnection_Simcom2G GSM_HttpClient_Simcom"
net_label="internet (2G) + HTTP modules"
report cortex-m0plus-2g arm-none-eabi-gcc arm-none-eabi-nm \
  "-mcpu=cortex-m0plus -mthumb -Os -ffunction-sections -fdata-sections -std=c99" "--specs=nano.specs --specs=nosys.specs" "-DFW_NET_2G"

# The every-module firmware for the ATmega2560 built the way the Arduino IDE builds a sketch (-Os -flto,
# --gc-sections): the figure to compare with an Arduino Mega sketch that uses every feature, less the
# Arduino core (HardwareSerial, millis) that a sketch adds.
if command -v avr-gcc >/dev/null 2>&1; then
  dir=$work/atmega2560-lto
  mkdir -p "$dir"
  srcs=()
  for m in GSM_Util GSM_Power GSM_Prompt GSM_Prompt_Helper GSM_BasicComms GSM_PIN GSM_SignalQuality GSM_NetworkRegistration \
           GSM_SMS_Send GSM_SMS_Read GSM_USSD GSM_Internet_Helper GSM_InternetConnection_Simcom GSM_HttpClient_Simcom \
           GSM_MqttClient_Simcom; do
    srcs+=("$lib/$m.c")
  done
  avr-gcc -mmcu=atmega2560 -Os -flto -ffunction-sections -fdata-sections -std=gnu11 -I"$lib" "${srcs[@]}" \
    "$root/tests/library/size_net/fw_all.c" "$root/tests/library/size_net/fw_app.c" -Wl,--gc-sections -o "$dir/fw.elf"
  avr-size -A "$dir/fw.elf" | awk -v ub="$(user_buffer_bytes avr-nm "$dir/fw.elf" avr-gcc)" '
    $1 == ".text" || $1 == ".data" { fl += $2 } $1 == ".data" || $1 == ".bss" { ram += $2 }
    END {
      print "== atmega2560, every module (LTE), Arduino build flags (-Os -flto), whole image incl. C runtime and application"
      printf "  %-34s %8d %8d\n", "flash B / RAM B (no user buffers)", fl, ram - ub
    }'
fi
