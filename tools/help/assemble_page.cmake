# cmake -DTEMPLATE=page.in -DSETTINGS=part.htm -DOUT=page.htm -P assemble_page.cmake
# Puts the generated settings tables where the page template marks them.
set(marker "<!-- settings tables -->")
file(READ ${TEMPLATE} page)
file(READ ${SETTINGS} settings)
# A generator run under Wine may write CR LF line ends.
string(REPLACE "\r" "" settings "${settings}")
string(FIND "${page}" "${marker}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${TEMPLATE} has no ${marker} line")
endif()
string(REPLACE "${marker}" "${settings}" page "${page}")
file(WRITE ${OUT} "${page}")
