# The Windows build of the application: kaveo.exe, a GUI-subsystem program (WinMain) that
# allocates its own console. The shell's objects are kept apart from the resources so that a
# test build can link them with a different set (tests/windows).
add_library(kaveo_shell_win32 OBJECT main_win32.cpp demo_app.cpp controls.cpp
            startup_error_win32.cpp)
target_include_directories(kaveo_shell_win32 PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_shell_win32 PUBLIC kaveo_core kaveo_console kaveo_media
                      PRIVATE kaveo_warnings)

add_executable(kaveo WIN32 $<TARGET_OBJECTS:kaveo_shell_win32>)
set_target_properties(kaveo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(kaveo PRIVATE kaveo_shell_win32 kaveo_resources user32)
