# The music clock with the real audio back end: update cost and demo-time smoothness
# (run through smoothness.sh, which provides a paced sound output).
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  if(NOT TARGET PkgConfig::kaveo_lame)
    pkg_check_modules(kaveo_lame REQUIRED IMPORTED_TARGET GLOBAL lame)
  endif()
  kaveo_add_bench(bench_clock clock_bench.cpp ${PROJECT_SOURCE_DIR}/tests/media/test_tone_mp3.cpp)
  target_include_directories(bench_clock PRIVATE ${PROJECT_SOURCE_DIR}/tests/media)
  target_link_libraries(bench_clock PRIVATE kaveo_media PkgConfig::kaveo_lame)
  target_compile_definitions(bench_clock PRIVATE
    KAVEO_SOUNDTRACK_PATH="${KAVEO_RESOURCE_DIR}/kaveo.mp3")
endif()

# Aligns a recording of the output with the decoded soundtrack (run by stalls.sh).
if(TARGET kaveo_mp3_stream)
  add_executable(stall_align stall_align.cpp $<TARGET_OBJECTS:kaveo_mp3_stream>)
  target_include_directories(stall_align PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(stall_align PRIVATE kaveo_warnings PkgConfig::kaveo_mpg123)
endif()
