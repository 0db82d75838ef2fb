# Renders the layouts' artwork from the SVG sources in this folder, at 1x and 2x, into
# WINHUSH_UI_ART_DIR. Button and close-glyph states are expanded from one template each so
# that the palette lives in one place (STYLE.md). Defines the target winhush_ui_art; safe to
# include from several places.
include_guard(GLOBAL)
set(WINHUSH_UI_ART_DIR "${CMAKE_BINARY_DIR}/ui-art" CACHE INTERNAL "Rendered images of the UI archive")
set(_art_src "${CMAKE_CURRENT_LIST_DIR}")
set(_art_gen "${CMAKE_BINARY_DIR}/ui-art-src")
file(MAKE_DIRECTORY "${WINHUSH_UI_ART_DIR}" "${_art_gen}")

function(_winhush_expand template out)
    file(READ "${_art_src}/${template}" text)
    set(pairs ${ARGN})
    list(LENGTH pairs n)
    math(EXPR last "${n} - 1")
    foreach(i RANGE 0 ${last} 2)
        math(EXPR j "${i} + 1")
        list(GET pairs ${i} key)
        list(GET pairs ${j} value)
        string(REPLACE "@${key}@" "${value}" text "${text}")
    endforeach()
    file(WRITE "${out}.tmp" "${text}")
    file(COPY_FILE "${out}.tmp" "${out}" ONLY_IF_DIFFERENT)
endfunction()

# name fill stroke ring: a focused state draws a 2 px ring outside a slightly smaller button.
set(_buttons
    "btn_primary_normal|#2B8FD9|#2B8FD9|none"
    "btn_primary_hot|#4AA3E6|#4AA3E6|none"
    "btn_primary_pushed|#1F7BC2|#1F7BC2|none"
    "btn_primary_disabled|#A9D2F2|#A9D2F2|none"
    "btn_primary_focused|#2B8FD9|#2B8FD9|#91CAF2"
    "btn_secondary_normal|#FFFFFF|#D0D5DD|none"
    "btn_secondary_hot|#F2F4F7|#D0D5DD|none"
    "btn_secondary_pushed|#E6E9EF|#C4CAD3|none"
    "btn_secondary_disabled|#FFFFFF|#ECEEF1|none"
    "btn_secondary_focused|#FFFFFF|#64B5EF|#91CAF2")
set(_svgs)
foreach(entry ${_buttons})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 fill)
    list(GET parts 2 stroke)
    list(GET parts 3 ring)
    if(ring STREQUAL "none")
        _winhush_expand(button.svg.in "${_art_gen}/${name}.svg" FILL "${fill}" STROKE "${stroke}" RING "none"
                        INSET 0.5 SIZE 23 RADIUS 6)
    else()
        _winhush_expand(button.svg.in "${_art_gen}/${name}.svg" FILL "${fill}" STROKE "${stroke}" RING "${ring}"
                        INSET 2.5 SIZE 19 RADIUS 4.5)
    endif()
    list(APPEND _svgs "${_art_gen}/${name}.svg")
endforeach()
foreach(entry "close_normal|none|#646A73" "close_hot|#F2F4F7|#1F2329" "close_pushed|#E6E9EF|#1F2329"
              "close_disabled|none|#C9CDD3")
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 fill)
    list(GET parts 2 glyph)
    _winhush_expand(close.svg.in "${_art_gen}/${name}.svg" FILL "${fill}" GLYPH "${glyph}")
    list(APPEND _svgs "${_art_gen}/${name}.svg")
endforeach()
list(APPEND _svgs "${_art_src}/icon_question.svg" "${_art_src}/icon_warning.svg")

set(_pngs)
foreach(svg ${_svgs})
    get_filename_component(name "${svg}" NAME_WE)
    set(one "${WINHUSH_UI_ART_DIR}/${name}.png")
    set(two "${WINHUSH_UI_ART_DIR}/${name}@2x.png")
    add_custom_command(OUTPUT "${one}" "${two}"
        COMMAND rsvg-convert -z 1 -o "${one}" "${svg}"
        COMMAND rsvg-convert -z 2 -o "${two}" "${svg}"
        DEPENDS "${svg}" VERBATIM)
    list(APPEND _pngs "${one}" "${two}")
endforeach()
add_custom_target(winhush_ui_art ALL DEPENDS ${_pngs})
# Every rendered file, for packing into the archive.
set(WINHUSH_UI_ART_FILES ${_pngs} CACHE INTERNAL "Rendered images of the UI archive")
