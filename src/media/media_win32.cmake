# The Windows build of src/media: the resource store on Win32 resources, and the music clock
# with its ACM + waveOut back end and the multimedia timer. The resources themselves are made
# by the host tools (a host build of this tree) and taken from KAVEO_HOST_RESOURCE_DIR.
set(KAVEO_HOST_RESOURCE_DIR "" CACHE PATH
    "resources/ folder of a host build of kaveo, whose tools made the embedded resources")
if(NOT KAVEO_HOST_RESOURCE_DIR)
  message(FATAL_ERROR "Set KAVEO_HOST_RESOURCE_DIR to the resources/ folder of a host build")
endif()

find_program(KAVEO_WINDRES NAMES ${CMAKE_RC_COMPILER} x86_64-w64-mingw32-windres windres
             REQUIRED)

# kaveo_add_win32_resources(<target> [WITHOUT <name>...]): a resource script holding the icon
# and every resource but the ones named, compiled by windres into an object, as an interface
# library that adds the object to whatever links it. (A resource object defines no symbol,
# so it cannot live in a static library: the linker would never pull it out.)
function(kaveo_add_win32_resources target)
  cmake_parse_arguments(arg "" "" "WITHOUT" ${ARGN})
  # Embedded under these names in upper case; the program asks in lower case.
  set(names palette.bin text.bin backdrop.raw tunnel0.raw tunnel1.raw tunnel2.raw kaveo.mp3)
  set(rc "LANGUAGE 9, 1\n") # US English, 1033
  set(depends "")
  set(icon ${KAVEO_HOST_RESOURCE_DIR}/kaveo.ico)
  if(EXISTS ${icon})
    # windres numbers the icon's images 1 and 2 as it goes.
    string(APPEND rc "101 ICON \"${icon}\"\n")
    list(APPEND depends ${icon})
  else()
    message(WARNING "${icon} is missing: ${target} gets no icon")
  endif()
  foreach(name IN LISTS names)
    if(name IN_LIST arg_WITHOUT)
      continue()
    endif()
    set(file ${KAVEO_HOST_RESOURCE_DIR}/${name})
    if(NOT EXISTS ${file})
      message(WARNING "${file} is missing: ${target} does not embed it")
      continue()
    endif()
    string(TOUPPER ${name} stored)
    string(APPEND rc "${stored} RCDATA \"${file}\"\n")
    list(APPEND depends ${file})
  endforeach()

  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  file(CONFIGURE OUTPUT ${script} CONTENT "${rc}" @ONLY)
  add_custom_command(OUTPUT ${object}
    COMMAND ${KAVEO_WINDRES} -O coff -i ${script} -o ${object}
    DEPENDS ${script} ${depends}
    COMMENT "Compiling the resources of ${target}")
  add_custom_target(${target}_object DEPENDS ${object})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${object})
  add_dependencies(${target} ${target}_object)
endfunction()

kaveo_add_win32_resources(kaveo_win32_resources)
add_library(kaveo_resources STATIC resource_store_win32.cpp)
target_include_directories(kaveo_resources PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_resources PUBLIC kaveo_core kaveo_win32_resources
                      PRIVATE kaveo_warnings)

add_library(kaveo_media STATIC music_clock.cpp stream_transport.cpp sample_ring.cpp
            playback_feed.cpp audio_win32.cpp audio_now_steady.cpp mp3_decoder_win32.cpp
            timer_win32.cpp)
target_include_directories(kaveo_media PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_media PUBLIC kaveo_core winmm msacm32 PRIVATE kaveo_warnings)
