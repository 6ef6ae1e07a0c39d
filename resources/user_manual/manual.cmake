# Renders the user manual ${manual_pdf} from the chapters in this folder and the module documentation
# pages in doc/ with the manual builder (Qt's PDF writer). Included from resources/CMakeLists.txt.
#
# Screenshots of the window are rendered offscreen by a second small tool that links the window
# code; that step is optional (VELKOR_MANUAL_SCREENSHOTS, and a failure only leaves the pictures out).

set(manual_dir ${CMAKE_CURRENT_SOURCE_DIR}/user_manual)

add_executable(velkor_manual_builder ${manual_dir}/manualbuilder.cpp)
target_link_libraries(velkor_manual_builder PRIVATE Qt5::Gui)
set_target_properties(velkor_manual_builder PROPERTIES AUTOMOC OFF AUTOUIC OFF)

option(VELKOR_MANUAL_SCREENSHOTS "Put screenshots of the window into the user manual" ON)
set(manual_shots_dir ${CMAKE_CURRENT_BINARY_DIR}/manual_shots)
set(manual_shot_deps)
if(VELKOR_MANUAL_SCREENSHOTS)
  add_executable(velkor_manual_shots ${manual_dir}/windowshots.cpp $<TARGET_OBJECTS:velkor_resources_no_manual>)
  target_link_libraries(velkor_manual_shots PRIVATE velkor_gui)
  set(manual_shots_stamp ${manual_shots_dir}/shots.stamp)
  add_custom_command(OUTPUT ${manual_shots_stamp}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:velkor_manual_shots> -DOUT=${manual_shots_dir}
            -DSTAMP=${manual_shots_stamp} -P ${manual_dir}/optional_shots.cmake
    DEPENDS velkor_manual_shots ${manual_dir}/optional_shots.cmake
    COMMENT "Rendering window screenshots for the user manual"
    VERBATIM)
  set(manual_shot_deps ${manual_shots_stamp})
endif()

file(GLOB manual_sources CONFIGURE_DEPENDS ${manual_dir}/*.html ${manual_dir}/contents.txt
  ${CMAKE_CURRENT_SOURCE_DIR}/doc/*.html ${CMAKE_CURRENT_SOURCE_DIR}/license/LICENSE.txt)
add_custom_command(OUTPUT "${manual_pdf}"
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:velkor_manual_builder>
          --chapters ${manual_dir} --docs ${CMAKE_CURRENT_SOURCE_DIR}/doc --shots ${manual_shots_dir}
          --output "${manual_pdf}"
  DEPENDS velkor_manual_builder ${manual_sources} ${manual_shot_deps}
  COMMENT "Rendering the user manual"
  VERBATIM)
