// The shots programs that photograph the program's real windows: the process set up like
// the program (OLE, the thread's message loop, the window monitor on a throwaway data
// folder, settings with nothing that pops up by itself) and the real main window in the
// middle of the backdrop.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "ShotSupport.h"
#include "ui/framework/MessageLoop.h"
#include "ui/main/MainDlg.h"

namespace winhush::test {
class ScopedTempDir;
}

namespace winhush::ui::shots {

class MainWindowShots : public ShotSession {
public:
    // The main window's first run shows the loading page until the automatic check is
    // done; the normal phase starts on the list or the empty page.
    enum class Phase { FirstRun, Normal };

    MainWindowShots();
    ~MainWindowShots() override;

    // ShotSession's set-up, the settings of the phase, the window monitor started and the
    // main window shown; false (with a message on stderr) when any of it fails. The run
    // ends by itself after `limit`.
    bool Start(int argc, wchar_t** argv, const wchar_t* program, Phase phase, std::chrono::seconds limit);
    int Finish();

    CMainDlg& Main() { return *main_; }
    // The main window with its shadow and whatever lies over it (a dialog, the lock).
    RECT MainArea(int grow = 24) const;
    const std::wstring& DataFolder() const;

    // A value in the settings key, as the user's choice would leave it there.
    static void SetSetting(const wchar_t* name, DWORD value);

private:
    CMessageLoop loop_;
    std::unique_ptr<test::ScopedTempDir> data_;
    CMainDlg* main_ = nullptr;
};

}  // namespace winhush::ui::shots
