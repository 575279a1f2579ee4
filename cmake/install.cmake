# What `cmake --install` puts in place (the programs, the manual page, the licence, and on
# POSIX Debian's copyright, changelog and lintian overrides) and the Debian package of it
# (`cpack -G DEB`), whose dependencies dpkg-shlibdeps reads off the programs.
include(GNUInstallDirs)

install(TARGETS kaveo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kaveo_capture_program)
  # Run by kaveo only (src/shell/CMakeLists.txt tells it where).
  install(TARGETS kaveo_capture_program
          RUNTIME DESTINATION ${KAVEO_HELPER_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT WIN32)
  # Compressed, as man and Debian expect, where gzip is at hand: kaveo_gzip(<file> <name>)
  # sets <name> to the file to install, gzip -9n's copy when there is one.
  find_program(KAVEO_GZIP gzip)
  function(kaveo_gzip file name)
    get_filename_component(base ${file} NAME)
    set(packed ${CMAKE_BINARY_DIR}/${base}.gz)
    if(KAVEO_GZIP)
      add_custom_command(OUTPUT ${packed}
        COMMAND ${KAVEO_GZIP} -9 -n -c ${file} > ${packed}
        DEPENDS ${file}
        COMMENT "Compressing ${base}")
      add_custom_target(kaveo_gzip_${base} ALL DEPENDS ${packed})
      set(${name} ${packed} PARENT_SCOPE)
    else()
      set(${name} ${file} PARENT_SCOPE)
    endif()
  endfunction()
  kaveo_gzip(${PROJECT_SOURCE_DIR}/docs/kaveo.1 manual)
  install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # What Debian looks for beside the program: the machine-readable copyright file, the
  # changelog of this native package, and the reasons for the lintian tags we accept.
  set(debian ${PROJECT_SOURCE_DIR}/packaging/debian)
  file(STRINGS ${debian}/changelog newest LIMIT_COUNT 1)
  if(NOT newest MATCHES "^kaveo \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: its newest entry, on top, must be "
                        "kaveo (${PROJECT_VERSION})")
  endif()
  kaveo_gzip(${debian}/changelog changelog)
  install(FILES ${debian}/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${debian}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME kaveo)
endif()

set(CPACK_PACKAGE_NAME kaveo)
set(CPACK_PACKAGE_VENDOR "kaveo maintainers")
set(CPACK_PACKAGE_CONTACT "kaveo maintainers <maintainers@users.noreply.c-seed-a3888381.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo in text mode")
# Debian wants the lines of the long description under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
  "For 59 seconds kaveo draws animated pictures made of coloured characters\n"
  "on an 80 x 50 cell screen in the terminal, in time with its own\n"
  "soundtrack. It can also render its frames without a terminal or sound.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc) # a demo program, not a game
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# kaveo opens SDL when the sound starts instead of linking it, so the linked libraries do not
# name it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0")
include(CPack)
