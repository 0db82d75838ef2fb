# Shared by scripts/test, scripts/demo, scripts/shots and scripts/bench: a private Xvfb
# display and a Wine prefix set up as a virtual desktop with a taskbar and CJK fonts.
# Source it, then call wine_env_start <prefix-dir>; wine_env_stop runs from the EXIT trap.

WINE_ENV_XVFB_PID=""
WINE_ENV_OWN_DISPLAY=0

wine_env_free_display() {
    local n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then echo "$n"; return 0; fi
    done
    return 1
}

# Starts Xvfb unless use_existing=1 and DISPLAY is set.
wine_env_display() {
    local use_existing=${1:-0}
    if [ "$use_existing" = 1 ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
    local n; n=$(wine_env_free_display) || { echo "no free X display" >&2; return 1; }
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    WINE_ENV_OWN_DISPLAY=1
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb on :$n did not come up" >&2
    return 1
}

# A ready-made template prefix is kept in the build tree (wineboot takes ~15 s); each run
# gets a fresh copy of it.
wine_env_template() {
    local template=$1
    [ -f "$template/.winhush-ready" ] && return 0
    rm -rf "$template"
    (
        export WINEPREFIX="$template" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        wineboot -i >/dev/null 2>&1
        wineserver -w
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1280x800 /f >/dev/null 2>&1
        for f in "Microsoft YaHei" "微软雅黑" SimSun "宋体" "Segoe UI"; do
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
        done
        for f in Tahoma "Microsoft Sans Serif"; do
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$f" \
                /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
        done
        # Crash dialogs would wait for a click that never comes.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -k || true
        wineserver -w || true
    )
    touch "$template/.winhush-ready"
}

# wine_env_start <prefix> <template> [use_existing_display]
wine_env_start() {
    local prefix=$1 template=$2 use_existing=${3:-0}
    wine_env_display "$use_existing"
    wine_env_template "$template"
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    trap wine_env_stop EXIT
    trap 'exit 130' INT TERM
}

wine_env_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [ "$WINE_ENV_OWN_DISPLAY" = 1 ] && [ -n "$WINE_ENV_XVFB_PID" ]; then
        kill "$WINE_ENV_XVFB_PID" >/dev/null 2>&1 || true
        wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    fi
}

# Configures (once) and builds the project in $build.
winhush_build() {
    local root=$1 build=$2
    # Configured every time: folders are picked up by globbing, so a new one needs it.
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null || return 1
    # Callers test this function in a condition, where errexit is off: every step reports.
    # A build stopped by a signal is a failed build whatever status reaches us.
    local log
    log=$(mktemp)
    cmake --build "$build" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    if grep -q 'interrupted by user' "$log"; then status=1; fi
    rm -f "$log"
    return "$status"
}
