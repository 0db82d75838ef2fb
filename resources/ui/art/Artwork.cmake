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
# Square glyph buttons of the main window (menu, minimise, remove), on the close glyph's
# disc: name|disc|glyph colour, and the glyph path per button.
set(_glyph_menu "M10 11.5 H22 M10 16 H22 M10 20.5 H22")
set(_glyph_min "M10.5 16 H21.5")
set(_glyph_remove "M10 11.5 H22 M14 11.5 V9.8 H18 V11.5 M11.6 11.5 L12.5 22.2 H19.5 L20.4 11.5 M14.6 14.6 V19.2 M17.4 14.6 V19.2")
foreach(glyph menu min remove)
    foreach(entry "normal|none|#646A73" "hot|#F2F4F7|#1F2329" "pushed|#E6E9EF|#1F2329" "disabled|none|#C9CDD3")
        string(REPLACE "|" ";" parts "${entry}")
        list(GET parts 0 state)
        list(GET parts 1 fill)
        list(GET parts 2 colour)
        _winhush_expand(glyph.svg.in "${_art_gen}/${glyph}_${state}.svg" FILL "${fill}" GLYPH "${colour}"
                        PATH "${_glyph_${glyph}}")
        list(APPEND _svgs "${_art_gen}/${glyph}_${state}.svg")
    endforeach()
endforeach()
# The split button ("btn_append"): a primary button with a divided-off drop arrow on the
# right; its right 30 px are never stretched. name|fill|ring.
foreach(entry "normal|#2B8FD9|none" "hot|#4AA3E6|none" "pushed|#1F7BC2|none" "disabled|#A9D2F2|none"
              "focused|#2B8FD9|#91CAF2")
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 state)
    list(GET parts 1 fill)
    list(GET parts 2 ring)
    if(ring STREQUAL "none")
        _winhush_expand(split.svg.in "${_art_gen}/split_${state}.svg" FILL "${fill}" RING "none" INSET 0.5
                        WIDTH 63 HEIGHT 31 RADIUS 6)
    else()
        _winhush_expand(split.svg.in "${_art_gen}/split_${state}.svg" FILL "${fill}" RING "${ring}" INSET 2.5
                        WIDTH 59 HEIGHT 27 RADIUS 4.5)
    endif()
    list(APPEND _svgs "${_art_gen}/split_${state}.svg")
endforeach()
foreach(name digit_tile empty_list blocking_off record_dot)
    list(APPEND _svgs "${_art_src}/${name}.svg")
endforeach()
# Animation strips, written by strips.awk at build time.
foreach(kind switch loading)
    set(strip "${_art_gen}/${kind}_strip.svg")
    add_custom_command(OUTPUT "${strip}"
        COMMAND awk -v kind=${kind} -v out=${strip} -f "${_art_src}/strips.awk"
        DEPENDS "${_art_src}/strips.awk" VERBATIM)
    list(APPEND _svgs "${strip}")
endforeach()

# Plain pictures need no entry here: every SVG in art/static/ is rendered as it is.
file(GLOB _static_svgs CONFIGURE_DEPENDS "${_art_src}/static/*.svg")
list(APPEND _svgs ${_static_svgs})
list(APPEND _svgs "${_art_src}/menu_setting.svg" "${_art_src}/menu_bbs.svg" "${_art_src}/menu_quit.svg" "${_art_src}/menu_main.svg" "${_art_src}/menu_locate.svg" "${_art_src}/menu_block_off.svg" "${_art_src}/menu_block_on.svg" "${_art_src}/menu_veil.svg")
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
# The app mark of the title bar, from the program icon's artwork, at 20 px.
set(_logo_svg "${_art_src}/../../art/app.svg")
add_custom_command(OUTPUT "${WINHUSH_UI_ART_DIR}/logo.png" "${WINHUSH_UI_ART_DIR}/logo@2x.png"
    COMMAND rsvg-convert -w 20 -h 20 -o "${WINHUSH_UI_ART_DIR}/logo.png" "${_logo_svg}"
    COMMAND rsvg-convert -w 40 -h 40 -o "${WINHUSH_UI_ART_DIR}/logo@2x.png" "${_logo_svg}"
    DEPENDS "${_logo_svg}" VERBATIM)
list(APPEND _pngs "${WINHUSH_UI_ART_DIR}/logo.png" "${WINHUSH_UI_ART_DIR}/logo@2x.png")
add_custom_target(winhush_ui_art ALL DEPENDS ${_pngs})
# Every rendered file, for packing into the archive.
set(WINHUSH_UI_ART_FILES ${_pngs} CACHE INTERNAL "Rendered images of the UI archive")
