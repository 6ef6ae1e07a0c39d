# Tests of the internet connection, HTTP and MQTT modules of the modem library (included from
# CMakeLists.txt of this folder): scenario tests against the simulator with its packet data, HTTP and
# MQTT services, on generated managers of an LTE wiring (with HTTP and MQTT) and a 2G wiring (with
# HTTP), echo on and off, plain and with ASan/UBSan; the fuzz target for the HTTP and MQTT receive
# framing.

set(VELKOR_LIB_NET_SOURCES
  ${VELKOR_LIB_DIR}/GSM_Internet_Helper.c
  ${VELKOR_LIB_DIR}/GSM_InternetConnection_Simcom.c
  ${VELKOR_LIB_DIR}/GSM_InternetConnection_Simcom2G.c
  ${VELKOR_LIB_DIR}/GSM_HttpClient_Simcom.c
  ${VELKOR_LIB_DIR}/GSM_MqttClient_Simcom.c)
set(VELKOR_SIM_NET_SOURCES sim/sim_net.c sim/sim_http.c sim/sim_mqtt.c)

foreach(echo 0 1)
  velkor_generated_manager(net_echo${echo} ECHO ${echo}
    MODULES Power Prompt BasicComms NetworkRegistration InternetConnection_SIMCom HTTP_Client_SIMCom MQTT_Client_SIMCom)
  velkor_generated_manager(net2g_echo${echo} ECHO ${echo}
    MODULES Power Prompt BasicComms NetworkRegistration InternetConnection_SIMCom2G HTTP_Client_SIMCom)
endforeach()

# velkor_net_scenario_test(<name> WIRING <net|net2g> ECHO <0|1> [SANITIZE])
function(velkor_net_scenario_test name)
  cmake_parse_arguments(ARG "SANITIZE" "WIRING;ECHO" "" ${ARGN})
  set(mgr ${${ARG_WIRING}_echo${ARG_ECHO}_dir})
  add_executable(${name} scenario/tst_net_scenarios.c scenario/tst_net_chaos.c scenario/net_support.c ${VELKOR_SIM_NET_SOURCES}
    ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_NET_SOURCES} ${mgr}/gsm_manager.c
    ${CMAKE_CURRENT_SOURCE_DIR}/harness/harness.c ${CMAKE_CURRENT_SOURCE_DIR}/harness/chaos.c
    ${CMAKE_CURRENT_SOURCE_DIR}/scenario/check.c)
  add_dependencies(${name} velkor_manager_${ARG_WIRING}_echo${ARG_ECHO})
  target_include_directories(${name} PRIVATE ${VELKOR_LIB_DIR} ${mgr} ${CMAKE_CURRENT_SOURCE_DIR}/harness
    ${CMAKE_CURRENT_SOURCE_DIR}/scenario ${CMAKE_CURRENT_SOURCE_DIR}/sim)
  if(ARG_WIRING STREQUAL "net")
    set(with_mqtt 1)
  else()
    set(with_mqtt 0)
  endif()
  target_compile_definitions(${name} PRIVATE HARNESS_ECHO_ON=${ARG_ECHO} NET_WITH_MQTT=${with_mqtt} _POSIX_C_SOURCE=200809L)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror -Wshadow -Wundef)
  if(ARG_SANITIZE)
    target_link_libraries(${name} PRIVATE velkor_modem_sim_asan)
    target_compile_options(${name} PRIVATE ${VELKOR_LIB_SANITIZE})
  else()
    target_link_libraries(${name} PRIVATE velkor_modem_sim)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS library)
endfunction()

foreach(wiring net net2g)
  foreach(echo 0 1)
    velkor_net_scenario_test(lib_${wiring}_scenarios_echo${echo} WIRING ${wiring} ECHO ${echo})
    velkor_net_scenario_test(lib_${wiring}_scenarios_echo${echo}_asan WIRING ${wiring} ECHO ${echo} SANITIZE)
  endforeach()
endforeach()

# Internet helper decoders without the simulator.
add_executable(lib_net_units scenario/tst_net_units.c scenario/check.c ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_NET_SOURCES})
target_include_directories(lib_net_units PRIVATE ${VELKOR_LIB_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/scenario)
target_compile_options(lib_net_units PRIVATE -Wall -Wextra -Werror -Wshadow -Wundef ${VELKOR_LIB_SANITIZE})
target_link_options(lib_net_units PRIVATE ${VELKOR_LIB_SANITIZE})
add_test(NAME lib_net_units COMMAND lib_net_units)
set_tests_properties(lib_net_units PROPERTIES TIMEOUT 120 LABELS library)

# Fuzzing the HTTP and MQTT receive framing (clang with libFuzzer only; same probe as the prompt target).
if(VELKOR_CLANG AND fuzz_probe_rc EQUAL 0)
  set(fuzz_net_src ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_net.c)
  set(fuzz_net_bin ${CMAKE_CURRENT_BINARY_DIR}/fuzz_net)
  add_custom_command(OUTPUT ${fuzz_net_bin}
    COMMAND ${VELKOR_CLANG} -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
            -I${VELKOR_LIB_DIR} ${fuzz_net_src} ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_NET_SOURCES} -o ${fuzz_net_bin}
    DEPENDS ${fuzz_net_src} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_io.h ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_NET_SOURCES}
    COMMENT "Building the HTTP / MQTT framing fuzz target")
  add_custom_target(lib_fuzz_net ALL DEPENDS ${fuzz_net_bin})
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fuzz_net_corpus)
  add_test(NAME lib_fuzz_net
    COMMAND ${fuzz_net_bin} -max_total_time=20 -rss_limit_mb=1024 -print_final_stats=1
            ${CMAKE_CURRENT_BINARY_DIR}/fuzz_net_corpus ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus_net)
  set_tests_properties(lib_fuzz_net PROPERTIES TIMEOUT 120 LABELS library)
endif()

# Compile matrix of the internet modules: headers alone, the wirings LTE + HTTP + MQTT, 2G + HTTP and
# LTE + 2G + HTTP as C, C++, Cortex-M0+ and ATmega2560 (a missing cross compiler skips its test).
foreach(cfg host-c host-cxx cortex-m0plus atmega2560)
  add_test(NAME lib_compile_net_${cfg}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/compile_matrix_net.sh ${cfg} ${VELKOR_LIB_DIR}
            ${CMAKE_CURRENT_BINARY_DIR}/compile_matrix_net/${cfg})
  set_tests_properties(lib_compile_net_${cfg} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS library)
endforeach()
