# The music clock (kaveo_clock: no platform headers, so tests can link it with fakes) and
# kaveo_media: the clock with its SDL2 + libmpg123 audio back end and the POSIX timer.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::kaveo_sdl2)
  pkg_check_modules(kaveo_sdl2 REQUIRED IMPORTED_TARGET GLOBAL sdl2)
endif()
if(NOT TARGET PkgConfig::kaveo_mpg123)
  pkg_check_modules(kaveo_mpg123 REQUIRED IMPORTED_TARGET GLOBAL libmpg123)
endif()

# An object library, so that kaveo_media holds the clock and the back end in one archive
# (the clock calls the back end: two archives would depend on their order on the link line).
add_library(kaveo_clock OBJECT music_clock.cpp stream_transport.cpp)
target_include_directories(kaveo_clock PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_clock PRIVATE kaveo_warnings)

# The portable output side of every back end (the sound ring and the feed of the device),
# and the MP3 decoding without any output (also the fuzzer's target).
add_library(kaveo_playback OBJECT sample_ring.cpp playback_feed.cpp)
target_include_directories(kaveo_playback PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_playback PRIVATE kaveo_warnings)
add_library(kaveo_mp3_stream OBJECT mp3_stream_mpg123.cpp)
target_include_directories(kaveo_mp3_stream PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_mp3_stream PRIVATE kaveo_warnings PkgConfig::kaveo_mpg123)

find_package(Threads REQUIRED)
add_library(kaveo_media STATIC $<TARGET_OBJECTS:kaveo_clock> $<TARGET_OBJECTS:kaveo_playback>
  $<TARGET_OBJECTS:kaveo_mp3_stream> audio_sdl2_mpg123.cpp audio_now_steady.cpp timer_posix.cpp)
target_include_directories(kaveo_media PUBLIC ${PROJECT_SOURCE_DIR}/src)
# Imported targets bring their include folders in as SYSTEM, out of reach of -Werror. SDL is
# opened when the sound starts (audio_sdl2_mpg123.cpp says why): its headers only.
target_include_directories(kaveo_media SYSTEM PRIVATE
  $<TARGET_PROPERTY:PkgConfig::kaveo_sdl2,INTERFACE_INCLUDE_DIRECTORIES>)
target_compile_options(kaveo_media PRIVATE
  $<TARGET_PROPERTY:PkgConfig::kaveo_sdl2,INTERFACE_COMPILE_OPTIONS>)
target_link_libraries(kaveo_media PRIVATE kaveo_warnings PkgConfig::kaveo_mpg123
  Threads::Threads ${CMAKE_DL_LIBS})
