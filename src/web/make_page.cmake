# Assembles the single-file page: cmake -DTEMPLATE=page.html -DPLAYER=player.js
# -DMODULE=kaveo_player.js -DOUTPUT=kaveo.html -P make_page.cmake
# The template's line "<!-- scripts -->" becomes the module and our script, inline.
file(READ "${TEMPLATE}" page)
file(READ "${MODULE}" module)
file(READ "${PLAYER}" player)
foreach(script IN ITEMS module player)
  # "</script" inside a script would end it early.
  string(FIND "${${script}}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${script} contains </script>, which cannot be inlined")
  endif()
endforeach()
string(FIND "${page}" "<!-- scripts -->" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${TEMPLATE} has no <!-- scripts --> line")
endif()
string(REPLACE "<!-- scripts -->" "<script>\n${module}\n</script>\n<script>\n${player}</script>"
       page "${page}")
file(WRITE "${OUTPUT}" "${page}")
