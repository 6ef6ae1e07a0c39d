#!/usr/bin/env bash
# Compiles and links projects that velkor-codegen generates, as a user's build would, with every host
# compiler that is installed (gcc / g++ and clang / clang++), warnings as errors:
#   - C, C++ and Arduino-layout projects with every module (LTE; and 2G with HTTP), debug output on;
#   - the C++ project once more with the library's GSM_DEBUG switch set for the library sources only
#     (a per-folder define), so the manager is compiled without it and must still define the debug
#     function under the name the C library calls.
#   compile_generated.sh <velkor-codegen> <work dir>
set -euo pipefail

codegen=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"

warn="-Wall -Wextra -Werror -pedantic -Wshadow -Wundef"
lte='"Power","Prompt","BasicComms","Pin","RSSI","NetworkRegistration","SMS_Send","SMS_Read","USSD","InternetConnection_SIMCom","HTTP_Client_SIMCom","MQTT_Client_SIMCom"'
g2='"Power","Prompt","BasicComms","Pin","RSSI","NetworkRegistration","SMS_Send","SMS_Read","USSD","InternetConnection_SIMCom2G","HTTP_Client_SIMCom"'

# project <dir> <Language> <Arduino true|false> <modules>
project() {
  mkdir -p "$1"
  cat > "$1/.velkor_codegenerator_settings" <<EOT
{ "Language": "$2", "Arduino": $3, "CheckedModules": ["", $4],
  "GettingStarted": { "IsDebugOutputSetupSelected": true, "DebugBufferSize": 256 } }
EOT
  "$codegen" generate "$1" >/dev/null
}

# A user's main: it only starts and polls the manager.
cat > main_c.c <<'EOT'
#include "gsm_manager.h"
int main(void) { gsmmgrInit(); gsmmgrPoll(); return 0; }
EOT
cat > main_cpp.cpp <<'EOT'
#include "gsm_manager.h"
int main() { gsmmgrInit(); gsmmgrPoll(); return 0; }
EOT

# build <project dir> <library folder> <cc> <cxx|-> <std flags for the manager> [library defines]
build() {
  local dir=$1 libdir=$2 cc=$3 cxx=$4 std=$5 libdefs=${6:-} objs=() s o
  for s in "$dir/$libdir"/*.c "$dir"/circbuff.c; do
    [ -f "$s" ] || continue
    o=$dir/$(basename "$s" .c).o
    "$cc" -std=c99 $warn $libdefs -I"$dir" -I"$dir/$libdir" -c "$s" -o "$o"
    objs+=("$o")
  done
  if [ "$cxx" = - ]; then
    "$cc" $std $warn -I"$dir" -c "$dir/gsm_manager.c" -o "$dir/manager.o"
    "$cc" $std $warn -I"$dir" -c main_c.c -o "$dir/main.o"
    "$cc" "$dir/main.o" "$dir/manager.o" "${objs[@]}" -o "$dir/fw"
  else
    "$cxx" $std $warn -I"$dir" -c "$dir/gsm_manager.cpp" -o "$dir/manager.o"
    "$cxx" $std $warn -I"$dir" -c main_cpp.cpp -o "$dir/main.o"
    "$cxx" "$dir/main.o" "$dir/manager.o" "${objs[@]}" -o "$dir/fw"
  fi
}

project c_lte C false "$lte"
project c_2g C false "$g2"
project cpp_lte C++ false "$lte"
project cpp_2g C++ false "$g2"
project arduino_lte C++ true "$lte"

pairs=("gcc g++")
if command -v clang >/dev/null 2>&1 && command -v clang++ >/dev/null 2>&1; then
  pairs+=("clang clang++")
else
  echo "note: clang / clang++ not found, checked with gcc / g++ only"
fi
for pair in "${pairs[@]}"; do
  set -- $pair
  cc=$1
  cxx=$2
  for p in c_lte c_2g; do
    echo "== $p: $cc -std=c99 and -std=c11"
    build "$p" Velkor "$cc" - -std=c99
    build "$p" Velkor "$cc" - -std=c11
  done
  for p in cpp_lte cpp_2g; do
    echo "== $p: $cxx -std=c++11 and -std=c++17"
    build "$p" Velkor "$cc" "$cxx" -std=c++11
    build "$p" Velkor "$cc" "$cxx" -std=c++17
  done
  echo "== arduino_lte: $cxx -std=gnu++11"
  build arduino_lte src/Velkor "$cc" "$cxx" -std=gnu++11
  echo "== cpp_lte: library with -DGSM_DEBUG=1, manager without it ($cxx)"
  build cpp_lte Velkor "$cc" "$cxx" -std=c++11 -DGSM_DEBUG=1
done
echo "generated C, C++ and Arduino projects compiled and linked"
