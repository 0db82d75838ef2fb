# The demo's stand-in for software installed on the user's computer. Source it, then:
#
#   demo_suite_install <prefix> <build> <data-dir>
#
# with <prefix> the Wine prefix, <build> the build directory (for tools/demopopup.exe) and
# <data-dir> the Unix path of the suite's data folder (the folder "DataPath" names). It
#   1. installs the demo rule database (plain JSON) as <data-dir>/db/winhsh.db,
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
    cp "$root/resources/demo/winhsh.json" "$data_dir/db/winhsh.db"
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
