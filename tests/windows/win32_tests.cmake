# Tests of the Win32 back ends, run under wine: the resource store (on the real resources),
# the ACM decoder and the waveOut back end (on a test soundtrack that a host helper encodes
# with LAME; the program carries it as a resource of its own, so nothing is read from files).
set(windows_tests ${CMAKE_CURRENT_SOURCE_DIR})

find_program(KAVEO_HOST_CXX NAMES c++ g++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(test_mp3 ${CMAKE_CURRENT_BINARY_DIR}/click.mp3)
add_custom_command(OUTPUT ${test_mp3}
  COMMAND ${KAVEO_HOST_CXX} -std=c++20 -O1 -I${windows_tests} -I${PROJECT_SOURCE_DIR}/tests/media
          ${windows_tests}/make_test_mp3.cpp ${PROJECT_SOURCE_DIR}/tests/media/test_tone_mp3.cpp
          -lmp3lame -o ${CMAKE_CURRENT_BINARY_DIR}/make_test_mp3
  COMMAND ${CMAKE_CURRENT_BINARY_DIR}/make_test_mp3 ${test_mp3}
  DEPENDS ${windows_tests}/make_test_mp3.cpp ${windows_tests}/windows_test_mp3.h
          ${PROJECT_SOURCE_DIR}/tests/media/test_tone_mp3.cpp
  COMMENT "Encoding the test soundtrack on the host")
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/click.rc CONTENT "CLICK.MP3 RCDATA \"${test_mp3}\"\n")
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/click.res.o
  COMMAND ${KAVEO_WINDRES} -O coff -i ${CMAKE_CURRENT_BINARY_DIR}/click.rc
          -o ${CMAKE_CURRENT_BINARY_DIR}/click.res.o
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/click.rc ${test_mp3})
add_custom_target(kaveo_click_resource DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/click.res.o)

kaveo_add_test(win32_test resource_store_win32_test.cpp mp3_decoder_win32_test.cpp
               audio_win32_test.cpp ${PROJECT_SOURCE_DIR}/tests/media/same_positions.cpp)
target_include_directories(win32_test PRIVATE ${PROJECT_SOURCE_DIR}/src
                           ${PROJECT_SOURCE_DIR}/tests/media)
target_link_libraries(win32_test PRIVATE kaveo_media kaveo_resources
                      ${CMAKE_CURRENT_BINARY_DIR}/click.res.o)
add_dependencies(win32_test kaveo_click_resource)
target_compile_definitions(win32_test PRIVATE
  KAVEO_HOST_RESOURCE_DIR="Z:${KAVEO_HOST_RESOURCE_DIR}")

kaveo_add_test(win32_console_test console_control_win32_test.cpp)
target_include_directories(win32_console_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(win32_console_test PRIVATE kaveo_console)

# The program without its soundtrack, for the smoke test's "Cannot load music." case.
kaveo_add_win32_resources(kaveo_resources_without_music WITHOUT kaveo.mp3)
add_executable(kaveo_without_music WIN32 $<TARGET_OBJECTS:kaveo_shell_win32>
               ${PROJECT_SOURCE_DIR}/src/media/resource_store_win32.cpp)
target_link_libraries(kaveo_without_music PRIVATE kaveo_shell_win32 kaveo_core
                      kaveo_resources_without_music user32)
