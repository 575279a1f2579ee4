# The music clock against fakes of its audio back end and timer, and the SDL2 + libmpg123
# back end itself under SDL's dummy and disk drivers, with MP3s the test encodes with LAME.
kaveo_add_test(test_music_clock music_clock_test.cpp position_smoother_test.cpp
  fake_audio_backend.cpp fake_timer.cpp)
target_link_libraries(test_music_clock PRIVATE kaveo_clock)

find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::kaveo_lame)
  pkg_check_modules(kaveo_lame REQUIRED IMPORTED_TARGET GLOBAL lame)
endif()
kaveo_add_test(test_audio_sdl2_mpg123 audio_sdl2_mpg123_test.cpp same_positions.cpp
  test_tone_mp3.cpp)
target_link_libraries(test_audio_sdl2_mpg123 PRIVATE kaveo_media PkgConfig::kaveo_lame)

kaveo_add_test(test_timer_posix timer_posix_test.cpp)
target_link_libraries(test_timer_posix PRIVATE kaveo_media)

# The sound ring and the device feed of every back end (also the ThreadSanitizer stage's).
kaveo_add_test(test_playback_feed playback_feed_test.cpp fade_test.cpp)
target_link_libraries(test_playback_feed PRIVATE kaveo_playback)
