# The icon, drawn once as SVG and rendered at build time to the PNG sizes and the .ico each platform takes.
set(MORVEX_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/icon/morvex.svg)
set(MORVEX_ICON_DIR ${CMAKE_BINARY_DIR}/icon)
# Freedesktop's hicolor theme sizes, and the sizes a Windows icon holds (16 to 48 drawn, 256 for large views).
set(MORVEX_ICON_PNG_SIZES 16 24 32 48 64 128 256)
set(MORVEX_ICON_ICO_SIZES 16 24 32 48 256)

find_program(MORVEX_RSVG_CONVERT rsvg-convert REQUIRED)
set(MORVEX_ICON_PNGS)
foreach(size IN LISTS MORVEX_ICON_PNG_SIZES)
  set(png ${MORVEX_ICON_DIR}/morvex-${size}.png)
  add_custom_command(OUTPUT ${png}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${MORVEX_ICON_DIR}
                     COMMAND ${MORVEX_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${MORVEX_ICON_SVG}
                     DEPENDS ${MORVEX_ICON_SVG} VERBATIM)
  list(APPEND MORVEX_ICON_PNGS ${png})
endforeach()

set(MORVEX_ICON_TARGETS ${MORVEX_ICON_PNGS})
if(WIN32)
  find_program(MORVEX_IMAGEMAGICK_CONVERT convert REQUIRED)
  set(MORVEX_ICON_ICO ${MORVEX_ICON_DIR}/morvex.ico)
  set(ico_inputs)
  foreach(size IN LISTS MORVEX_ICON_ICO_SIZES)
    list(APPEND ico_inputs ${MORVEX_ICON_DIR}/morvex-${size}.png)
  endforeach()
  add_custom_command(OUTPUT ${MORVEX_ICON_ICO} COMMAND ${MORVEX_IMAGEMAGICK_CONVERT} ${ico_inputs} ${MORVEX_ICON_ICO}
                     DEPENDS ${ico_inputs} VERBATIM)
  list(APPEND MORVEX_ICON_TARGETS ${MORVEX_ICON_ICO})
endif()
add_custom_target(morvex_icon ALL DEPENDS ${MORVEX_ICON_TARGETS})
