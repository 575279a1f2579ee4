# The Windows build of src/console: the Win32 console back end.
add_library(kaveo_console STATIC console_screen_win32.cpp)
target_include_directories(kaveo_console PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_console PUBLIC kaveo_core PRIVATE kaveo_warnings)
