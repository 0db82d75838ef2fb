#include "monitor/EventHook.h"

namespace winhush::monitor {

namespace {

// The hook's callback has no context argument; it runs on the thread that set the hook,
// and each hook has a thread of its own.
thread_local CEventHook* t_hook = nullptr;

constexpr wchar_t kSinkClass[] = L"WinhushDisplaySink";

struct WinEventHook {
    HWINEVENTHOOK handle = nullptr;
    WinEventHook(DWORD event, WINEVENTPROC proc)
        : handle(::SetWinEventHook(event, event, nullptr, proc, 0, 0,
                                   WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS)) {}
    ~WinEventHook() {
        if (handle) ::UnhookWinEvent(handle);
    }
    WinEventHook(const WinEventHook&) = delete;
    WinEventHook& operator=(const WinEventHook&) = delete;
};

}  // namespace

CEventHook::CEventHook(const std::atomic<int>& active) : active_(active) {
    wake_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CEventHook::~CEventHook() {
    Stop(1000);
    if (wake_) ::CloseHandle(wake_);
    if (ready_) ::CloseHandle(ready_);
}

bool CEventHook::Start(DWORD limitMs) {
    if (thread_) return hooked_;
    ::ResetEvent(ready_);
    hooked_ = false;
    thread_ = ::CreateThread(nullptr, 0, ThreadProc, this, 0, &threadId_);
    if (!thread_) return false;
    HANDLE waits[] = {ready_, thread_};
    ::WaitForMultipleObjects(2, waits, FALSE, limitMs);
    return hooked_;
}

void CEventHook::Stop(DWORD limitMs) {
    if (!thread_) return;
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    if (::WaitForSingleObject(thread_, limitMs) == WAIT_TIMEOUT) ::TerminateThread(thread_, 0);
    ::CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    hooked_ = false;
    std::lock_guard<std::mutex> guard(lock_);
    noted_.clear();
    notedAt_.clear();
}

void CEventHook::Take(std::vector<Noted>& out) {
    out.clear();
    std::lock_guard<std::mutex> guard(lock_);
    out.swap(noted_);
    notedAt_.clear();
    hasNoted_ = false;
}

void CEventHook::Note(HWND hwnd, bool created) {
    bool first = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto [at, added] = notedAt_.try_emplace(hwnd, noted_.size());
        if (!added) {
            noted_[at->second].created = noted_[at->second].created || created;
            return;
        }
        first = noted_.empty();
        noted_.push_back({hwnd, created});
        hasNoted_ = true;
    }
    // One wake per burst: the scan thread takes everything noted until it looks.
    if (first) ::SetEvent(wake_);
}

void CALLBACK CEventHook::OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    CEventHook* self = t_hook;
    if (!self || !hwnd || object != OBJID_WINDOW || child != CHILDID_SELF) return;
    if (!self->active_.load(std::memory_order_relaxed)) return;
    // Top-level windows only: child controls and message-only windows are never blocked.
    if (::GetAncestor(hwnd, GA_PARENT) != ::GetDesktopWindow()) return;
    self->Note(hwnd, event == EVENT_OBJECT_CREATE);
}

LRESULT CALLBACK CEventHook::SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DISPLAYCHANGE || (message == WM_SETTINGCHANGE && wParam == SPI_SETWORKAREA)) {
        if (CEventHook* self = t_hook) {
            self->displayChanged_ = true;
            ::SetEvent(self->wake_);
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD WINAPI CEventHook::ThreadProc(LPVOID self) { return static_cast<CEventHook*>(self)->Run(); }

DWORD CEventHook::Run() {
    t_hook = this;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists before Stop can post
    // A hidden top-level window of ours hears of display and work-area changes (message-only
    // windows are left out of those broadcasts).
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kSinkClass;
    ::RegisterClassExW(&wc);
    HWND sink = ::CreateWindowExW(WS_EX_TOOLWINDOW, kSinkClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    {
        WinEventHook created(EVENT_OBJECT_CREATE, OnEvent);
        WinEventHook shown(EVENT_OBJECT_SHOW, OnEvent);
        hooked_ = created.handle != nullptr && shown.handle != nullptr;
        ::SetEvent(ready_);
        // Out-of-context events arrive through this thread's message queue.
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (sink) ::DestroyWindow(sink);
    t_hook = nullptr;
    return 0;
}

}  // namespace winhush::monitor
