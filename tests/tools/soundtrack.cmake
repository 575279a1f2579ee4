# Tests of the soundtrack: the built kaveo.mp3 decoded as a player would (soundtrack_test),
# heard by aubio's onset detector (soundtrack_aubio_test), and the composer's mastering
# stage (soundtrack_mastering_test). No sound device needed.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SOUNDTRACK_MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(SOUNDTRACK_EBUR128 REQUIRED IMPORTED_TARGET libebur128)
pkg_check_modules(SOUNDTRACK_AUBIO REQUIRED IMPORTED_TARGET aubio)

# The decoded track, shared by the tests that listen to it.
add_library(decoded_soundtrack STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/decoded_soundtrack.cpp
  ${PROJECT_SOURCE_DIR}/src/demo/beat_tables.cpp)
target_include_directories(decoded_soundtrack PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(decoded_soundtrack PUBLIC PkgConfig::SOUNDTRACK_MPG123 PRIVATE kaveo_warnings)
target_compile_definitions(decoded_soundtrack PRIVATE
  KAVEO_SOUNDTRACK_PATH="${KAVEO_RESOURCE_DIR}/kaveo.mp3")
add_dependencies(decoded_soundtrack kaveo_soundtrack)

kaveo_add_test(soundtrack_test ${CMAKE_CURRENT_SOURCE_DIR}/soundtrack_test.cpp)
target_link_libraries(soundtrack_test PRIVATE decoded_soundtrack PkgConfig::SOUNDTRACK_EBUR128)
target_compile_definitions(soundtrack_test PRIVATE
  KAVEO_SOUNDTRACK_PATH="${KAVEO_RESOURCE_DIR}/kaveo.mp3")

kaveo_add_test(soundtrack_aubio_test ${CMAKE_CURRENT_SOURCE_DIR}/soundtrack_aubio_test.cpp)
target_link_libraries(soundtrack_aubio_test PRIVATE decoded_soundtrack PkgConfig::SOUNDTRACK_AUBIO)
target_compile_definitions(soundtrack_aubio_test PRIVATE
  KAVEO_SOUNDTRACK_PATH="${KAVEO_RESOURCE_DIR}/kaveo.mp3")

kaveo_add_test(soundtrack_mastering_test
  ${CMAKE_CURRENT_SOURCE_DIR}/soundtrack_mastering_test.cpp
  ${PROJECT_SOURCE_DIR}/tools/composer/mastering.cpp
  ${PROJECT_SOURCE_DIR}/tools/composer/mix.cpp)
target_include_directories(soundtrack_mastering_test PRIVATE ${PROJECT_SOURCE_DIR}/tools/composer)
target_link_libraries(soundtrack_mastering_test PRIVATE PkgConfig::SOUNDTRACK_EBUR128)
