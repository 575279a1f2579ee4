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
