# Assembles the single-file page: cmake -DTEMPLATE=page.html -DPLAYER=player.js
# -DMODULE=kaveo_player.js -DLICENCE=OFL.txt -DOUTPUT=kaveo.html -P make_page.cmake
# The template's line "<!-- scripts -->" becomes the module and our script, inline, and
# "<!-- font licence -->" the font's licence as text, which travels with every copy.
file(READ "${TEMPLATE}" page)
file(READ "${MODULE}" module)
file(READ "${PLAYER}" player)
file(READ "${LICENCE}" licence)
foreach(script IN ITEMS module player licence)
  # "</script" inside a script would end it early.
  string(FIND "${${script}}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${script} contains </script>, which cannot be inlined")
  endif()
endforeach()
foreach(mark IN ITEMS "<!-- scripts -->" "<!-- font licence -->")
  string(FIND "${page}" "${mark}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TEMPLATE} has no ${mark} line")
  endif()
endforeach()
string(REPLACE "<!-- font licence -->"
       "<script type=\"text/plain\" id=\"font-licence\">\n${licence}</script>" page "${page}")
string(REPLACE "<!-- scripts -->" "<script>\n${module}\n</script>\n<script>\n${player}</script>"
       page "${page}")
file(WRITE "${OUTPUT}" "${page}")
