#include "MainWindowShots.h"

#include <ole2.h>

#include <cstdio>

#include "TestSupport.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "settings/SettingsStore.h"

namespace winhush::ui::shots {

MainWindowShots::MainWindowShots() = default;
MainWindowShots::~MainWindowShots() = default;

void MainWindowShots::SetSetting(const wchar_t* name, DWORD value) {
    auto key = settings::OpenSettingsKey(true);
    if (key) settings::WriteDword(key.get(), name, value);
}

bool MainWindowShots::Start(int argc, wchar_t** argv, const wchar_t* program, Phase phase,
                            std::chrono::seconds limit) {
    if (!ShotSession::Start(argc, argv, program)) return false;
    EndAfter(limit);
    ::OleInitialize(nullptr);
    Module().Init(::GetModuleHandleW(nullptr));
    Module().AddMessageLoop(&loop_);

    // Blocking on, nothing that pops up by itself. The block count is left as the runs
    // before left it, except on the first run, which starts from none.
    SetSetting(settings::kBlock, 1);
    SetSetting(settings::kScanSoftware, phase == Phase::FirstRun ? 1 : 0);
    if (phase == Phase::FirstRun) SetSetting(settings::kBlockCount, 0);
    SetSetting(settings::kAutoCheck, 0);
    SetSetting(settings::kIconTip, 0);
    SetSetting(settings::kHideTray, 0);
    SetSetting(settings::kIsLocateShortcut, 0);
    SetSetting(settings::kIsMainShortcut, 0);

    data_ = std::make_unique<test::ScopedTempDir>();
    monitor::WndMgr().InitWithDataDirectory(data_->path(), true);

    main_ = new CMainDlg();
    if (!main_->CreateMainWindow()) {
        Fail(L"the main window cannot be created");
        delete main_;
        main_ = nullptr;
        return false;
    }
    main_->DeleteWhenGone();
    Centre(main_->m_hWnd);
    main_->ShowWindow(SW_SHOW);
    ::UpdateWindow(main_->m_hWnd);
    return true;
}

int MainWindowShots::Finish() {
    if (main_ && main_->IsWindow()) main_->DestroyWindow();  // frees itself
    main_ = nullptr;
    Pump(std::chrono::milliseconds(300));
    rules::StopAutoCheck();
    monitor::WndMgr().Stop();
    Module().RemoveMessageLoop();
    int result = ShotSession::Finish();
    ::OleUninitialize();
    return result;
}

RECT MainWindowShots::MainArea(int grow) const {
    return Grow(main_ ? main_->GetWindowRect() : RECT{}, grow);
}

const std::wstring& MainWindowShots::DataFolder() const { return data_->path(); }

}  // namespace winhush::ui::shots
