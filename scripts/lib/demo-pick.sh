# Sourced by scripts/demo: the end of an unattended run shows the window picker as a user
# works it. A window of another program appears, the picker is opened from the main
# window's "添加拦截" menu ("手动定位窗口"), its crosshair is dragged onto the window with the
# real pointer (xdotool), the confirmation is accepted, and the window disappears.
# Places are those of the layouts at 96 DPI (dlg_main.xml, dlg_locate.xml,
# dlg_add_confirm.xml), from each window's top-left corner.

# demo_pick_query <command>: one winhelper command, its reply's fields after "ok".
demo_pick_query() {
    printf '%s\n' "$1" | wine "$build/tools/winhelper.exe" 2>/dev/null | awk '$1 == "ok" {$1 = ""; print substr($0, 2)}'
}

# The handle of the top-level window with that title, waiting up to $2 seconds.
demo_pick_find() {
    local hwnd=""
    for _ in $(seq "$2"); do
        hwnd=$(demo_pick_query "find $1")
        [ -n "$hwnd" ] && break
        sleep 1
    done
    echo "$hwnd"
}

# Pointer moves in Windows desktop coordinates (those of the Wine desktop's X window).
demo_pick_pointer() {
    local desktop
    desktop=$(xdotool search --name 'Wine desktop' 2>/dev/null | head -1 || true)
    if [ -n "$desktop" ]; then xdotool mousemove --window "$desktop" "$1" "$2"; else xdotool mousemove "$1" "$2"; fi
}

demo_show_pick() {
    local main picker confirm x y w h tx ty visible
    main=$(demo_pick_find "Zelvane-弹窗拦截" 5)
    [ -n "$main" ] || { echo "demo: pick: no main window"; return 0; }
    # The window to block, from a program of its own, kept open on the helper's stdin.
    coproc DEMO_PICK_HELPER { wine "$build/tools/winhelper.exe" 2>/dev/null; }
    echo "open class=DemoNewsWindow caption=News_flash x=120 y=470 w=360 h=240 style=popup color=E56A2B" >&"${DEMO_PICK_HELPER[1]}"
    local reply target
    read -r -t 20 reply <&"${DEMO_PICK_HELPER[0]}" || reply=""
    reply=${reply%$'\r'}
    target=${reply#ok }
    [ "${reply%% *}" = ok ] || { echo "demo: pick: the window helper did not open a window"; return 0; }
    sleep 1

    # "添加拦截" menu, third entry.
    read -r x y w h _ < <(demo_pick_query "rect $main")
    demo_pick_pointer $((x + 625)) $((y + 116)); xdotool click 1; sleep 1
    demo_pick_pointer $((x + 576)) $((y + 223)); xdotool click 1
    picker=$(demo_pick_find "手动定位窗口" 10)
    [ -n "$picker" ] || { echo "demo: pick: the picker did not open"; return 0; }
    sleep 1
    read -r x y w h _ < <(demo_pick_query "rect $picker")
    demo_pick_pointer $((x + 60)) $((y + 92)); sleep 0.5
    xdotool mousedown 1; sleep 0.8
    read -r tx ty w h _ < <(demo_pick_query "rect $target")
    demo_pick_pointer $((tx + w / 2 - 20)) $((ty + h / 2 - 10)); sleep 0.3
    demo_pick_pointer $((tx + w / 2)) $((ty + h / 2)); sleep 1.5
    xdotool mouseup 1
    confirm=$(demo_pick_find "添加拦截" 10)
    [ -n "$confirm" ] || { echo "demo: pick: no confirmation"; return 0; }
    sleep 1.5
    read -r x y w h _ < <(demo_pick_query "rect $confirm")
    demo_pick_pointer $((x + 372)) $((y + 400)); sleep 0.3; xdotool click 1
    sleep 2
    echo "rect $target" >&"${DEMO_PICK_HELPER[1]}"
    read -r -t 10 reply <&"${DEMO_PICK_HELPER[0]}" || reply=""
    visible=$(echo "$reply" | tr -d '\r' | awk '{print $6}')
    if [ "$visible" = 0 ]; then
        echo "demo: picked the window \"News_flash\" with the crosshair: it is blocked and gone"
    else
        echo "demo: pick: the window is still shown ($reply)"
    fi
    # The helper ends; a blocked window of its program would be hidden again anyway.
    echo quit >&"${DEMO_PICK_HELPER[1]}" 2>/dev/null || true
}
