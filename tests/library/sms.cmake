# SMS Send, SMS Receive and USSD: scenario tests against the simulator's SMS centre and USSD
# services (echo on and off, plain and with ASan/UBSan), included from tests/library/CMakeLists.txt.

set(VELKOR_LIB_SMS_SOURCES
  ${VELKOR_LIB_DIR}/GSM_SMS_Send.c
  ${VELKOR_LIB_DIR}/GSM_SMS_Read.c
  ${VELKOR_LIB_DIR}/GSM_USSD.c)
set(VELKOR_LIB_SMS_SIM_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/sim/sim_sms.c
  ${CMAKE_CURRENT_SOURCE_DIR}/sim/sim_ussd.c)

# The generated manager with the core modules and the three SMS / USSD modules ticked.
foreach(echo 0 1)
  velkor_generated_manager(sms_echo${echo} ECHO ${echo} MODULES ${VELKOR_CORE_MODULE_IDS} SMS_Send SMS_Read USSD)
endforeach()

function(velkor_library_sms_test name)
  cmake_parse_arguments(ARG "SANITIZE" "ECHO" "" ${ARGN})
  set(mgr ${sms_echo${ARG_ECHO}_dir})
  add_executable(${name}
    sms/tst_sms_send.c sms/tst_sms_read.c sms/tst_ussd.c sms/tst_sms_chaos.c sms/sms_support.c
    ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_SMS_SOURCES} ${VELKOR_LIB_SMS_SIM_SOURCES}
    ${mgr}/gsm_manager.c
    ${CMAKE_CURRENT_SOURCE_DIR}/harness/harness.c ${CMAKE_CURRENT_SOURCE_DIR}/harness/chaos.c
    ${CMAKE_CURRENT_SOURCE_DIR}/scenario/check.c)
  add_dependencies(${name} velkor_manager_sms_echo${ARG_ECHO})
  target_include_directories(${name} PRIVATE ${VELKOR_LIB_DIR} ${mgr}
    ${CMAKE_CURRENT_SOURCE_DIR}/harness ${CMAKE_CURRENT_SOURCE_DIR}/scenario ${CMAKE_CURRENT_SOURCE_DIR}/sms
    ${CMAKE_CURRENT_SOURCE_DIR}/sim)
  target_compile_definitions(${name} PRIVATE HARNESS_ECHO_ON=${ARG_ECHO} _POSIX_C_SOURCE=200809L)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror -Wshadow -Wundef)
  if(ARG_SANITIZE)
    target_compile_definitions(${name} PRIVATE SMS_CHAOS_SEEDS=300)
    target_link_libraries(${name} PRIVATE velkor_modem_sim_asan)
  else()
    target_link_libraries(${name} PRIVATE velkor_modem_sim)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900 LABELS library)
endfunction()

foreach(echo 0 1)
  velkor_library_sms_test(lib_sms_scenarios_echo${echo} ECHO ${echo})
  velkor_library_sms_test(lib_sms_scenarios_echo${echo}_asan ECHO ${echo} SANITIZE)
endforeach()

# Fuzzing SMS Send, SMS Receive and USSD behind the prompt, and their decoders (clang with libFuzzer
# only; the same probe as the prompt fuzz target).
if(VELKOR_CLANG AND fuzz_probe_rc EQUAL 0)
  set(sms_fuzz_src ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_sms.c)
  set(sms_fuzz_bin ${CMAKE_CURRENT_BINARY_DIR}/fuzz_sms)
  add_custom_command(OUTPUT ${sms_fuzz_bin}
    COMMAND ${VELKOR_CLANG} -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
            -I${VELKOR_LIB_DIR} ${sms_fuzz_src} ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_SMS_SOURCES} -o ${sms_fuzz_bin}
    DEPENDS ${sms_fuzz_src} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_io.h ${VELKOR_LIB_CORE_SOURCES} ${VELKOR_LIB_SMS_SOURCES}
    COMMENT "Building the SMS / USSD fuzz target")
  add_custom_target(lib_fuzz_sms ALL DEPENDS ${sms_fuzz_bin})
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fuzz_corpus_sms)
  add_test(NAME lib_fuzz_sms
    COMMAND ${sms_fuzz_bin} -max_total_time=20 -rss_limit_mb=1024 -print_final_stats=1
            ${CMAKE_CURRENT_BINARY_DIR}/fuzz_corpus_sms ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus_sms)
  set_tests_properties(lib_fuzz_sms PROPERTIES TIMEOUT 120 LABELS library)
endif()
