# The built console font (font_test) and the font tool refusing broken sources.
kaveo_add_test(font_test ${CMAKE_CURRENT_LIST_DIR}/font_test.cpp)
target_compile_definitions(font_test PRIVATE KAVEO_RESOURCE_DIR="${KAVEO_RESOURCE_DIR}")
add_dependencies(font_test kaveo_font_resource)

set(check ${PROJECT_SOURCE_DIR}/tests/shell/run_and_check.cmake)
foreach(case IN ITEMS "short_row|row 2 needs 8 pixels, has 7"
                      "out_of_order|glyph 02 out of order; expected glyph 01"
                      "bad_pixel|pixel 'o' is neither"
                      "missing_glyphs|has 2 of the 256 glyphs"
                      "cut_glyph|glyph 01 ends after 3 of 16 rows")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 bad)
  list(GET case 1 message)
  add_test(NAME font_tool_rejects_${bad}
    COMMAND ${CMAKE_COMMAND} "-DCOMMAND=$<TARGET_FILE:kaveo_font>|${CMAKE_CURRENT_LIST_DIR}/bad_assets/font_${bad}.txt|${CMAKE_CURRENT_BINARY_DIR}/font_${bad}.bin"
            -DEXPECT_CODE=1 "-DSTDERR_MATCH=${message}" -P ${check})
endforeach()
