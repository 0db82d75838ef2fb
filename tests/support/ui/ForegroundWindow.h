// A plain window that holds the foreground (so a test can tell
// whether a pop-up took activation) and records the WM_COMMAND messages it receives.
#pragma once

#include <windows.h>

#include <vector>

namespace winhush::test {

class ForegroundWindow {
public:
    struct Command {
        WPARAM wParam;
        LPARAM lParam;
    };

    // A small captioned window at `at`, shown and made the foreground window.
    explicit ForegroundWindow(RECT at = RECT{900, 40, 1180, 200});
    ~ForegroundWindow();
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // True when it became the foreground window within a second.
    bool TakeForeground();
    const std::vector<Command>& commands() const { return commands_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    std::vector<Command> commands_;
};

}  // namespace winhush::test
