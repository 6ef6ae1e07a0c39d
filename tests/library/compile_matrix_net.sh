#!/usr/bin/env bash
# Compile matrix of the internet connection, HTTP and MQTT modules of the modem library.
#   compile_matrix_net.sh <config> <library dir> <work dir>
# configs:
#   host-c       every header alone; each wiring below compiled and linked (gcc, C99)
#   host-cxx     the same wirings as C++ with the headers inside extern "C" (g++), sources as C++
#   cortex-m0plus, atmega2560   the wirings compiled with -Os for the target (int is 16 bits on AVR;
#                               the AVR wirings also as C++11, as an Arduino sketch compiles them)
# Wirings (laid out like the generated manager: includes in registry order, the fragments' exact
# wiring statements): LTE + HTTP + MQTT; 2G + HTTP (the HTTP wiring names the LTE instance);
# LTE + 2G + HTTP. Exit code 77 = compiler missing.
set -euo pipefail

config=$1
lib=$2
work=$3
mkdir -p "$work"
cd "$work"

warn="-Wall -Wextra -Werror -Wshadow -Wundef"
core_sources="GSM_Util.c GSM_Power.c GSM_Prompt.c GSM_Prompt_Helper.c GSM_BasicComms.c GSM_NetworkRegistration.c"
net_headers="GSM_Internet_Helper.h GSM_InternetConnection_Interface.h GSM_InternetConnection_Simcom.h GSM_InternetConnection_Simcom2G.h GSM_HttpClient_Simcom.h GSM_MqttClient_Simcom.h"

require() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIPPED: compiler $1 not found"
    exit 77
  fi
}

# wiring <name> <lte 0/1> <2g 0/1> <mqtt 0/1> <c|cpp>: writes <name>.<ext>, a manager-like unit.
wiring() {
  local name=$1 lte=$2 g2=$3 mqtt=$4 lang=$5 f
  f=$name.$lang
  {
    echo '#include <stdint.h>'
    echo '#include <stdbool.h>'
    [ "$lang" = cpp ] && echo 'extern "C" {'
    echo '#include "GSM_Power.h"'
    echo '#include "GSM_Prompt.h"'
    echo '#include "GSM_BasicComms.h"'
    echo '#include "GSM_NetworkRegistration.h"'
    [ "$lte" = 1 ] && echo '#include "GSM_InternetConnection_Simcom.h"'
    [ "$g2" = 1 ] && echo '#include "GSM_InternetConnection_Simcom2G.h"'
    echo '#include "GSM_HttpClient_Simcom.h"'
    [ "$mqtt" = 1 ] && echo '#include "GSM_MqttClient_Simcom.h"'
    [ "$lang" = cpp ] && echo '} // extern "C"'
    [ "$lang" = cpp ] && echo 'extern "C" {'
    echo 'uint32_t gsm__SysTime_ms() { return 0u; }'
    [ "$lang" = cpp ] && echo '} // extern "C"'
    echo 'GSM_Power_Instance mGsmPwrInst = {0};'
    echo 'GSM_Prompt_Instance mGsmPromptInst = {0};'
    echo 'GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst = {0};'
    [ "$lte" = 1 ] && echo 'GSM_InternetConnectionSimcom_Instance mGsmInternetConnectionSimcomInst = {0};'
    [ "$g2" = 1 ] && echo 'GSM_InternetConnectionSimcom2G_Instance mGsmInternetConnectionSimcom2GInst = {0};'
    echo 'GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst = {0};'
    [ "$mqtt" = 1 ] && echo 'GSM_MqttClientSimcom_Instance mGsmMqttClientSimcomInst = {0};'
    echo 'char* gsmGetAPN() { return (char*)"internet"; }'
    echo 'void gsmHttpClientSimcomEventHandler(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType event_type, void* event_data) { (void)inst; (void)event_type; (void)event_data; }'
    [ "$mqtt" = 1 ] && echo 'void gsmMqttClientSimcomEventHandler(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType event_type, void* event_data) { (void)inst; (void)event_type; (void)event_data; }'
    echo 'int main() {'
    if [ "$lte" = 1 ]; then
      echo '    mGsmInternetConnectionSimcomInst.Prompt = (&mGsmPromptInst._i);'
      echo '    mGsmInternetConnectionSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);'
      echo '    mGsmInternetConnectionSimcomInst.APN_IfAny = gsmGetAPN();'
      echo '    gsmInternetConnectionSimcomInit(&mGsmInternetConnectionSimcomInst);'
    fi
    if [ "$g2" = 1 ]; then
      echo '    mGsmInternetConnectionSimcom2GInst.Prompt = (&mGsmPromptInst._i);'
      echo '    mGsmInternetConnectionSimcom2GInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);'
      echo '    mGsmInternetConnectionSimcom2GInst.APN_IfAny = gsmGetAPN();'
      echo '    gsmInternetConnectionSimcom2GInit(&mGsmInternetConnectionSimcom2GInst);'
    fi
    echo '    mGsmHttpClientSimcomInst.Power = (&mGsmPwrInst._i);'
    echo '    mGsmHttpClientSimcomInst.Prompt = (&mGsmPromptInst._i);'
    echo '    mGsmHttpClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);'
    echo '    mGsmHttpClientSimcomInst.EventHandler = &gsmHttpClientSimcomEventHandler;'
    echo '    gsmHttpClientSimcomInit(&mGsmHttpClientSimcomInst);'
    if [ "$mqtt" = 1 ]; then
      echo '    mGsmMqttClientSimcomInst.Power = (&mGsmPwrInst._i);'
      echo '    mGsmMqttClientSimcomInst.Prompt = (&mGsmPromptInst._i);'
      echo '    mGsmMqttClientSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);'
      echo '    mGsmMqttClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);'
      echo '    mGsmMqttClientSimcomInst.EventHandler = &gsmMqttClientSimcomEventHandler;'
      echo '    gsmMqttClientSimcomInit(&mGsmMqttClientSimcomInst);'
      echo '    GSM_MqttClientSimcom_Connect_Session s; gsmMqttClientSimcomInitConfigDefault(&s);'
      echo '    (void)gsmMqttClientSimcomConnect(&mGsmMqttClientSimcomInst, &s);'
      echo '    gsmMqttClientSimcomPoll(&mGsmMqttClientSimcomInst);'
    fi
    [ "$lte" = 1 ] && echo '    gsmInternetConnectionSimcomPoll(&mGsmInternetConnectionSimcomInst);'
    [ "$g2" = 1 ] && echo '    gsmInternetConnectionSimcom2GPoll(&mGsmInternetConnectionSimcom2GInst);'
    echo '    gsmHttpClientSimcomPoll(&mGsmHttpClientSimcomInst);'
    # The HTTP client must be wired to the connection that the project has.
    if [ "$lte" = 1 ]; then
      echo '    return mGsmHttpClientSimcomInst.InternetConnection == &mGsmInternetConnectionSimcomInst._i ? 0 : 1;'
    else
      echo '    return mGsmHttpClientSimcomInst.InternetConnection == &mGsmInternetConnectionSimcom2GInst._i ? 0 : 1;'
    fi
    echo '}'
  } > "$f"
}

sources() {
  local s
  for s in $core_sources GSM_Internet_Helper.c GSM_InternetConnection_Simcom.c GSM_InternetConnection_Simcom2G.c GSM_HttpClient_Simcom.c GSM_MqttClient_Simcom.c; do
    echo "$lib/$s"
  done
}

build_wirings() {
  local cc=$1 lang=$2 flags=$3 link=$4 name
  for spec in "lte_http_mqtt 1 0 1" "g2_http 0 1 0" "lte_g2_http 1 1 0"; do
    set -- $spec
    name=$1
    wiring "$name" "$2" "$3" "$4" "$lang"
    echo "== $name ($lang)"
    if [ "$link" = 1 ]; then
      "$cc" $flags -I"$lib" "$name.$lang" -c -o "$name.o"
      ./objs_to_link.sh "$name.o" "$name"
      "./$name" || { echo "wiring $name: the HTTP client is not wired to the project's connection"; exit 1; }
    else
      "$cc" $flags -I"$lib" -c "$name.$lang" -o "$name.o"
    fi
  done
}

case "$config" in
host-c)
  require gcc
  for h in $net_headers; do
    printf '#include "%s"\n' "$h" > hdr.c
    gcc -std=c99 $warn -I"$lib" -c hdr.c -o hdr.o || { echo "header not self-contained: $h"; exit 1; }
  done
  objs=()
  for s in $(sources); do
    gcc -std=c99 $warn -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
    objs+=("$(basename "$s" .c).o")
  done
  mkdir -p debug
  (cd debug && gcc -std=c99 $warn -O2 -DGSM_DEBUG=1 -I"$lib" -c $(sources))
  printf '#!/bin/sh\ngcc "$1" %s -o "$2"\n' "${objs[*]}" > objs_to_link.sh
  chmod +x objs_to_link.sh
  build_wirings gcc c "-std=c99 $warn" 1
  echo "internet modules: headers, sources and wirings compiled and linked (C)"
  ;;
host-cxx)
  require g++
  objs=()
  for s in $(sources); do
    g++ -x c++ $warn -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
    objs+=("$(basename "$s" .c).o")
  done
  printf '#!/bin/sh\ng++ "$1" %s -o "$2"\n' "${objs[*]}" > objs_to_link.sh
  chmod +x objs_to_link.sh
  # The manager's instance definitions "= {0}" make g++ -Wextra warn about the other members
  # (missing-field-initializers) for every module; that warning is switched off for the wiring units.
  build_wirings g++ cpp "$warn -Wno-missing-field-initializers" 1
  echo "internet modules: wirings as C++ with the headers in extern \"C\" compiled and linked"
  ;;
cortex-m0plus)
  require arm-none-eabi-gcc
  flags="-mcpu=cortex-m0plus -mthumb -Os -ffunction-sections -fdata-sections -std=c99 $warn"
  for s in $(sources); do
    arm-none-eabi-gcc $flags -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
  done
  arm-none-eabi-gcc $flags -DGSM_DEBUG=1 -I"$lib" -c $(sources) 2>&1
  build_wirings arm-none-eabi-gcc c "$flags" 0
  echo "Cortex-M0+ build of the internet modules passed"
  ;;
atmega2560)
  require avr-gcc
  flags="-mmcu=atmega2560 -Os -ffunction-sections -fdata-sections -std=c99 $warn"
  for s in $(sources); do
    avr-gcc $flags -I"$lib" -c "$s" -o "$(basename "$s" .c).o"
  done
  build_wirings avr-gcc c "$flags" 0
  if command -v avr-g++ >/dev/null 2>&1; then
    # Arduino sketches compile the manager as C++11 with avr-g++.
    build_wirings avr-g++ cpp "-mmcu=atmega2560 -Os -std=gnu++11 $warn -Wno-missing-field-initializers" 0
  fi
  echo "ATmega2560 build of the internet modules passed"
  ;;
*)
  echo "unknown configuration $config" >&2
  exit 2
  ;;
esac
