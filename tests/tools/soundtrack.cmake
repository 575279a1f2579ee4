# Tests of the soundtrack: the built kaveo.mp3 decoded as a player would (soundtrack_test)
# and the composer's mastering stage (soundtrack_mastering_test). No sound device needed.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SOUNDTRACK_MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(SOUNDTRACK_EBUR128 REQUIRED IMPORTED_TARGET libebur128)

kaveo_add_test(soundtrack_test
  ${CMAKE_CURRENT_SOURCE_DIR}/soundtrack_test.cpp
  ${PROJECT_SOURCE_DIR}/src/demo/beat_tables.cpp)
target_include_directories(soundtrack_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(soundtrack_test PRIVATE PkgConfig::SOUNDTRACK_MPG123 PkgConfig::SOUNDTRACK_EBUR128)
target_compile_definitions(soundtrack_test PRIVATE
  KAVEO_SOUNDTRACK_PATH="${KAVEO_RESOURCE_DIR}/kaveo.mp3")
add_dependencies(soundtrack_test kaveo_soundtrack)

kaveo_add_test(soundtrack_mastering_test
  ${CMAKE_CURRENT_SOURCE_DIR}/soundtrack_mastering_test.cpp
  ${PROJECT_SOURCE_DIR}/tools/composer/mastering.cpp)
target_include_directories(soundtrack_mastering_test PRIVATE ${PROJECT_SOURCE_DIR}/tools/composer)
target_link_libraries(soundtrack_mastering_test PRIVATE PkgConfig::SOUNDTRACK_EBUR128)
