#!/usr/bin/env bash
# Builds the Velkor modem library sources in one configuration of the compile matrix.
#   compile_matrix.sh <config> <library dir> <work dir> [compiler]
# configs:
#   host-c-modules  each module alone, with only the modules it needs, compiled and linked (gcc, C99)
#   host-c-all      every source together, every header on its own (gcc, C99)
#   host-cxx        every header inside extern "C" in a C++ unit, every source compiled as C++ (g++)
#   cortex-m0plus   arm-none-eabi-gcc -mcpu=cortex-m0plus -mthumb -Os
#   atmega2560      avr-gcc -mmcu=atmega2560 -Os (int is 16 bits)
# Exit code 77 = compiler missing (the test is reported as skipped).
set -euo pipefail

config=$1
lib=$(cd "$2" && pwd)
work=$3
mkdir -p "$work"
cd "$work"

warn_c="-std=c99 -Wall -Wextra -Werror -Wshadow -Wundef"
warn_cxx="-Wall -Wextra -Werror -Wshadow -Wundef"

# Core modules: name, the sources it needs, its header, init and poll calls of a smoke program.
core_modules=(Util Power Prompt BasicComms PIN SignalQuality NetworkRegistration)
declare -A needs=(
  [Util]="GSM_Util.c"
  [Power]="GSM_Power.c"
  [Prompt]="GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
  [BasicComms]="GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
  [PIN]="GSM_PIN.c GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
  [SignalQuality]="GSM_SignalQuality.c GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
  [NetworkRegistration]="GSM_NetworkRegistration.c GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
)
declare -A header=(
  [Util]=GSM_Util.h [Power]=GSM_Power.h [Prompt]=GSM_Prompt.h [BasicComms]=GSM_BasicComms.h [PIN]=GSM_PIN.h
  [SignalQuality]=GSM_SignalQuality.h [NetworkRegistration]=GSM_NetworkRegistration.h
)
declare -A smoke=(
  [Util]='char b[8]; uint32_t e; return (int)gsmUtilUintToStr(b, 8u, 7u, 4u) + (int)gsmUtilDateTimeToEpoch("24/01/01,00:00:00+00", 20u, &e, 0);'
  [Power]='static GSM_Power_Instance i; gsmPowerInit(&i); gsmPowerPoll(&i); return (int)gsmPowerGet(&i);'
  [Prompt]='static GSM_Prompt_Instance i; gsmPromptInit(&i); gsmPromptPoll(&i); return (int)gsmPromptClaim(&i._i, &i);'
  [BasicComms]='static GSM_BasicComms_Instance i; gsmBasicCommsInit(&i); gsmBasicCommsPoll(&i); return (int)gsmBasicCommsCommunicationEstablished(&i);'
  [PIN]='static GSM_PIN_Instance i; gsmPinInit(&i); gsmPinPoll(&i); gsmPinEnter(&i, 123u); return (int)gsmPinStatus(&i);'
  [SignalQuality]='static GSM_SignalQuality_Instance i; gsmSignalQualityInit(&i); gsmSignalQualityPoll(&i); return (int)gsmSignalQualityQuery(&i) + gsmSignalQualityRssiTo_dBm(5u);'
  [NetworkRegistration]='static GSM_NetworkRegistration_Instance i; gsmNetworkRegistrationInit(&i); gsmNetworkRegistrationPoll(&i); return (int)gsmNetworkRegistrationIsRegistered(&i);'
)

# The files of the matrix. Modules added to the library extend these two lists.
library_sources=(GSM_Util.c GSM_Power.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_BasicComms.c GSM_PIN.c GSM_SignalQuality.c
                 GSM_NetworkRegistration.c)
library_headers=(GSM_Globals.h GSM_Required_Externals.h GSM_Util.h GSM_Power_Interface.h GSM_Power.h GSM_Prompt_Interface.h
                 GSM_Prompt.h GSM_Prompt_Helper.h GSM_BasicComms_Interface.h GSM_BasicComms.h GSM_PIN.h GSM_SignalQuality.h
                 GSM_NetworkRegistration_Interface.h GSM_NetworkRegistration.h)

# SMS Send, SMS Receive and USSD.
core_modules+=(SMS_Send SMS_Read USSD)
needs[SMS_Send]="GSM_SMS_Send.c GSM_NetworkRegistration.c GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
needs[SMS_Read]="GSM_SMS_Read.c GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
needs[USSD]="GSM_USSD.c GSM_NetworkRegistration.c GSM_BasicComms.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_Util.c GSM_Power.c"
header[SMS_Send]=GSM_SMS_Send.h
header[SMS_Read]=GSM_SMS_Read.h
header[USSD]=GSM_USSD.h
smoke[SMS_Send]='static GSM_SmsSend_Instance i; gsmSmsSendInit(&i); gsmSmsSendPoll(&i); gsmSmsSendCancel(&i); return (int)gsmSmsSend(&i, (char*)"+4917", (char*)"Hi") + (int)gsmSmsSendGetDeliveryStatusReportType(0);'
smoke[SMS_Read]='static GSM_SmsRead_Instance i; uint8_t x; gsmSmsReadInit(&i); gsmSmsReadPoll(&i); return (int)gsmSmsReadDecodeCmti("+CMTI: \"SM\",1", 13u, &x);'
smoke[USSD]='static GSM_USSD_Instance i; gsmUssdInit(&i); gsmUssdPoll(&i); return (int)gsmUssdSend(&i, (char*)"*100#") + (int)gsmUssdCancelSession(&i);'
library_sources+=(GSM_SMS_Send.c GSM_SMS_Read.c GSM_USSD.c)
library_headers+=(GSM_SMS_Send.h GSM_SMS_Read.h GSM_USSD.h)

core_sources() {
  local s
  for s in "${library_sources[@]}"; do
    echo "$lib/$s"
  done
}

require() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIPPED: compiler $1 not found"
    exit 77
  fi
}

case "$config" in
host-c-modules)
  cc=${4:-gcc}
  require "$cc"
  for m in "${core_modules[@]}"; do
    cat > "smoke_$m.c" <<EOT
#include "${header[$m]}"
uint32_t gsm__SysTime_ms(void) { return 0u; }
int main(void) { ${smoke[$m]} }
EOT
    srcs=()
    for s in ${needs[$m]}; do srcs+=("$lib/$s"); done
    echo "== $m: ${needs[$m]}"
    "$cc" $warn_c -I"$lib" "smoke_$m.c" "${srcs[@]}" -o "smoke_$m"
  done
  ;;
host-c-all)
  cc=${4:-gcc}
  require "$cc"
  for h in "${library_headers[@]}"; do
    printf '#include "%s"\n' "$h" > hdr.c
    "$cc" $warn_c -I"$lib" -c hdr.c -o hdr.o || { echo "header not self-contained: $h"; exit 1; }
  done
  for s in $(core_sources); do
    "$cc" $warn_c -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
  done
  "$cc" $warn_c -O2 -DGSM_DEBUG=1 -I"$lib" -c $(core_sources)
  echo "all core sources and headers compiled"
  ;;
host-cxx)
  cxx=${4:-g++}
  require "$cxx"
  {
    echo '#include <stdint.h>'
    echo '#include <stdbool.h>'
    echo 'extern "C" {'
    for h in "${library_headers[@]}"; do printf '#include "%s"\n' "$h"; done
    echo '}'
    echo 'int main() { GSM_PIN_Instance p = {}; (void)p; return (int)gsmSignalQualityRssiTo_dBm(3u) == -107 ? 0 : 1; }'
  } > manager_like.cpp
  "$cxx" $warn_cxx -I"$lib" -c manager_like.cpp -o manager_like.o
  for s in $(core_sources); do
    "$cxx" $warn_cxx -x c++ -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
    "$cxx" $warn_cxx -x c++ -DGSM_DEBUG=1 -I"$lib" -c "$s" -o "$(basename "$s" .c)_debug.o"
  done
  # Link check as in a generated C++ project with debug output: the manager defines
  # gsmDebugWriteText outside any extern "C" block; the library, compiled as C, must still find it.
  {
    echo 'extern "C" {'
    echo '#include "GSM_Power.h"'
    echo '#include "GSM_Prompt.h"'
    echo '}'
    echo 'extern "C" {'
    echo 'uint32_t gsm__SysTime_ms() { return 0u; }'
    echo '}'
    echo 'void gsmDebugWriteText(char* text) { (void)text; }'
    echo 'int main() { static GSM_Power_Instance p; static GSM_Prompt_Instance q; gsmPowerInit(&p); gsmPowerPoll(&p);'
    echo '  gsmPromptInit(&q); gsmPromptPoll(&q); return 0; }'
  } > manager_debug.cpp
  objs=()
  for s in $(core_sources); do
    gcc $warn_c -DGSM_DEBUG=1 -I"$lib" -c "$s" -o "$(basename "$s" .c)_c_debug.o"
    objs+=("$(basename "$s" .c)_c_debug.o")
  done
  "$cxx" $warn_cxx -DGSM_DEBUG=1 -I"$lib" manager_debug.cpp "${objs[@]}" -o manager_debug
  echo "headers in extern \"C\" and sources as C++ compiled; C library linked to a C++ manager"
  ;;
cortex-m0plus)
  require arm-none-eabi-gcc
  for s in $(core_sources); do
    arm-none-eabi-gcc -mcpu=cortex-m0plus -mthumb -Os -ffunction-sections -fdata-sections $warn_c -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
  done
  arm-none-eabi-gcc -mcpu=cortex-m0plus -mthumb -Os -DGSM_DEBUG=1 -DGSM_MODEM_FAMILY=2 $warn_c -I"$lib" -c $(core_sources)
  echo "Cortex-M0+ build passed"
  ;;
atmega2560)
  require avr-gcc
  for s in $(core_sources); do
    avr-gcc -mmcu=atmega2560 -Os -ffunction-sections -fdata-sections $warn_c -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
  done
  avr-gcc -mmcu=atmega2560 -Os -DGSM_DEBUG=1 -DGSM_MODEM_FAMILY=1 $warn_c -I"$lib" -c $(core_sources)
  echo "ATmega2560 build passed"
  ;;
*)
  echo "unknown configuration $config" >&2
  exit 2
  ;;
esac
