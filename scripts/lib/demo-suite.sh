# The demo's stand-in for software installed on the user's computer. Source it, then:
#
#   demo_suite_install <prefix> <build> <data-dir>
#
# with <prefix> the Wine prefix, <build> the build directory (for tools/demopopup.exe) and
# <data-dir> the Unix path of the suite's data folder (the folder "DataPath" names). It
#   1. installs the demo rule database as <data-dir>/db/winhsh.db: plain JSON, or with
#      DEMO_DB_FORM=container the same document packed by tools/dbpack.exe,
#   2. installs the demo program as C:\Program Files\Lumen Reader\LumenPromo.exe and
#      registers it in the native uninstall key (HKLM, 64-bit view) as "LumenReaderDemo",
#   3. starts it: it opens its 320 x 200 advertising pop-up (class "WinhushDemoAd") in the
#      bottom-right corner at once and then every DEMO_POPUP_INTERVAL seconds (default 12).
# The program's process id is left in DEMO_SUITE_PID; it ends with the prefix's wineserver.

demo_suite_install() {
    local prefix=$1 build=$2 data_dir=$3
    local root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
    local app_dir="$prefix/drive_c/Program Files/Lumen Reader"
    local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\LumenReaderDemo'
    if [ ! -f "$build/tools/demopopup.exe" ]; then
        echo "demo-suite: $build/tools/demopopup.exe is missing (build the demopopup target)" >&2
        return 1
    fi
    mkdir -p "$data_dir/db" "$app_dir"
    if [ "${DEMO_DB_FORM:-plain}" = container ]; then
        # The container holds the program section as its entry "winhsh".
        local section="$data_dir/db/winhsh-section.json"
        python3 -c 'import json, sys; json.dump(json.load(open(sys.argv[1], encoding="utf-8"))["winhsh"], open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)' \
            "$root/resources/demo/winhsh.json" "$section" || return 1
        WINEPREFIX="$prefix" wine "$build/tools/dbpack.exe" "$(winepath -w "$data_dir/db/winhsh.db" 2>/dev/null)" \
            "winhsh=$(winepath -w "$section" 2>/dev/null)" >/dev/null 2>&1 || { echo "demo-suite: dbpack failed" >&2; return 1; }
        rm -f "$section"
    else
        cp "$root/resources/demo/winhsh.json" "$data_dir/db/winhsh.db"
    fi
    cp "$build/tools/demopopup.exe" "$app_dir/LumenPromo.exe"
    local name value
    while IFS='|' read -r name value; do
        WINEPREFIX="$prefix" wine reg add "$key" /v "$name" /d "$value" /f /reg:64 >/dev/null 2>&1
    done <<'VALUES'
DisplayName|Lumen Reader (Winhush demo)
DisplayVersion|3.2.0
Publisher|Lumen Demo Software
InstallLocation|C:\Program Files\Lumen Reader
UninstallString|"C:\Program Files\Lumen Reader\uninst.exe"
VALUES
    WINEPREFIX="$prefix" wine 'C:\Program Files\Lumen Reader\LumenPromo.exe' \
        --interval "${DEMO_POPUP_INTERVAL:-12}" >/dev/null 2>&1 &
    DEMO_SUITE_PID=$!
}
