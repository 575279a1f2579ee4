# DemoApp's controls, pacing and start-up with the real music clock on the fake audio back
# end and fake timer (tests/media), and a fake console; the helper programs kaveo runs and the
# libraries each loads; then the real program in tmux.
if(NOT KAVEO_PLATFORM)
  return()
endif()
set(media_tests ${PROJECT_SOURCE_DIR}/tests/media)
kaveo_add_test(app_test controls_test.cpp app_run_test.cpp fake_console.cpp
  ${PROJECT_SOURCE_DIR}/src/shell/demo_app.cpp ${PROJECT_SOURCE_DIR}/src/shell/controls.cpp
  ${PROJECT_SOURCE_DIR}/src/shell/startup_error_posix.cpp
  ${media_tests}/fake_audio_backend.cpp ${media_tests}/fake_timer.cpp)
target_include_directories(app_test PRIVATE ${media_tests})
target_link_libraries(app_test PRIVATE kaveo_clock kaveo_core kaveo_resources)

# The terminal demo's options: a bad one is named, with the usage, and exits 2 before any
# terminal is touched.
kaveo_command_test(kaveo_colors_needs_a_value 2 "--colors" "-DSTDERR_MATCH=--colors needs a value")
kaveo_command_test(kaveo_unknown_colour_mode 2 "--colors|8" "-DSTDERR_MATCH=unknown colour mode")
kaveo_command_test(kaveo_unknown_option 2 "--silent|--loud" "-DSTDERR_MATCH=unknown option .--loud")
kaveo_command_test(kaveo_layout_needs_a_value 2 "--silent|--layout" "-DSTDERR_MATCH=--layout needs a value")
kaveo_command_test(kaveo_unknown_layout 2 "--layout|square" "-DSTDERR_MATCH=unknown layout .square.*usage")
kaveo_command_test(kaveo_help_names_the_layouts 0 "--help" "-DSTDOUT_MATCH=--layout auto.wide.half.cells.*Tab")
kaveo_command_test(kaveo_play_takes_the_demo_options 2 "play|--silent|--loud"
  "-DSTDERR_MATCH=unknown option .--loud")

# kaveo runs kaveo-capture, and says so when it is missing.
kaveo_command_test(kaveo_capture_runs_kaveo_capture 0 "capture|${out}/start.cast|--to|0.1"
  -DOUTPUT=${out}/start.cast)
add_test(NAME kaveo_without_kaveo_capture
  COMMAND ${CMAKE_COMMAND} -DKAVEO=$<TARGET_FILE:kaveo> -DWORK=${out}/alone_capture
          -DCOMMAND=capture|--silent -DNAMED=kaveo-capture
          -P ${CMAKE_CURRENT_SOURCE_DIR}/helper_missing.cmake)

# Which libraries each program loads: kaveo none of the capture's, nor SDL's crowd before the
# sound starts (it starts in a moment); kaveo-capture shows the check sees them.
set(libraries ${CMAKE_CURRENT_SOURCE_DIR}/program_libraries.cmake)
add_test(NAME kaveo_loads_no_capture_or_sdl_library
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:kaveo>
          "-DFORBIDDEN=^lib(av[a-z]+|sw[a-z]+|png[0-9]*|SDL2[-.0-9]*|X11|wayland-[a-z]+|pulse)\\."
          -DREQUIRED=^libmpg123 -P ${libraries})
add_test(NAME kaveo_capture_loads_the_capture_libraries
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:kaveo_capture_program>
          "-DREQUIRED=^libavcodec\\.;^libpng" -P ${libraries})

find_program(TMUX_PROGRAM tmux)
if(TMUX_PROGRAM)
  add_test(NAME kaveo_in_tmux COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e_tmux.sh $<TARGET_FILE:kaveo>)
  set_tests_properties(kaveo_in_tmux PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
endif()
