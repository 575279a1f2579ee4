# What `cmake --install` puts in place (the programs, the manual page, the licence) and the
# Debian package of it (`cpack -G DEB`), whose dependencies dpkg-shlibdeps reads off the programs.
include(GNUInstallDirs)

install(TARGETS kaveo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kaveo_play_program)
  # Run by kaveo only (src/shell/CMakeLists.txt tells it where).
  install(TARGETS kaveo_play_program kaveo_capture_program
          RUNTIME DESTINATION ${KAVEO_HELPER_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT WIN32)
  # Compressed, as man and Debian expect, where gzip is at hand.
  find_program(KAVEO_GZIP gzip)
  set(manual ${PROJECT_SOURCE_DIR}/docs/kaveo.1)
  if(KAVEO_GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/kaveo.1.gz
      COMMAND ${KAVEO_GZIP} -9 -n -c ${manual} > ${CMAKE_BINARY_DIR}/kaveo.1.gz
      DEPENDS ${manual}
      COMMENT "Compressing the manual page")
    add_custom_target(kaveo_manual ALL DEPENDS ${CMAKE_BINARY_DIR}/kaveo.1.gz)
    set(manual ${CMAKE_BINARY_DIR}/kaveo.1.gz)
  endif()
  install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME kaveo)
set(CPACK_PACKAGE_VENDOR "kaveo maintainers")
set(CPACK_PACKAGE_CONTACT "kaveo maintainers <maintainers@users.noreply.c-seed-a3888381.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo in text mode")
set(CPACK_PACKAGE_DESCRIPTION
  "For 59 seconds kaveo draws animated pictures made of coloured characters on an 80 x 50\n"
  "cell screen in the terminal, in time with its own soundtrack. It can also render its\n"
  "frames without a terminal or sound.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
