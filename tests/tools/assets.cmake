# Tests of the built resources (palette.bin, text.bin, the tunnel pictures, the backdrop) and
# of the tools refusing broken sources.
kaveo_add_test(assets_test ${CMAKE_CURRENT_LIST_DIR}/assets_test.cpp)
target_include_directories(assets_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(assets_test PRIVATE KAVEO_RESOURCE_DIR="${KAVEO_RESOURCE_DIR}")
add_dependencies(assets_test kaveo_palette_resource kaveo_caption_resource kaveo_texture_resources)

# The tools stop with a message and exit code 1 on a broken source.
set(check ${PROJECT_SOURCE_DIR}/tests/shell/run_and_check.cmake)
foreach(bad IN ITEMS captions_short_row captions_unknown_glyph)
  add_test(NAME captions_tool_rejects_${bad}
    COMMAND ${CMAKE_COMMAND} "-DCOMMAND=$<TARGET_FILE:kaveo_captions>|${CMAKE_CURRENT_LIST_DIR}/bad_assets/${bad}.txt|${CMAKE_CURRENT_BINARY_DIR}/${bad}.bin"
            -DEXPECT_CODE=1 "-DSTDERR_MATCH=${bad}.txt:[0-9]+: " -P ${check})
endforeach()
add_test(NAME palette_tool_rejects_count_mismatch
  COMMAND ${CMAKE_COMMAND} "-DCOMMAND=$<TARGET_FILE:kaveo_palette>|${CMAKE_CURRENT_LIST_DIR}/bad_assets/palette_count_mismatch.txt|${CMAKE_CURRENT_BINARY_DIR}/palette_count_mismatch.bin"
          -DEXPECT_CODE=1 "-DSTDERR_MATCH=declares 3 pairs but lists 2" -P ${check})
