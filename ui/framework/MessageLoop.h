// The UI thread's message loop with idle handlers and message filters, and the
// application module that maps each UI thread to its loop so windows created on that
// thread can register themselves.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace winhush::ui {

class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    // True when the message was consumed (it is then neither translated nor dispatched).
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CIdleHandler {
public:
    virtual ~CIdleHandler() = default;
    // True while the handler has more idle work to do.
    virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
public:
    void AddMessageFilter(CMessageFilter* filter);
    void RemoveMessageFilter(CMessageFilter* filter);
    void AddIdleHandler(CIdleHandler* handler);
    void RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and returns its exit code.
    int Run();

    // Messages that do not re-arm idle processing (they arrive in floods).
    static bool IsIdleMessage(const MSG& msg);

    bool PreTranslateMessage(MSG* msg);
    // The same, skipping the filters that `already` holds (it has offered them the message).
    bool PreTranslateMessageExcept(MSG* msg, const CMessageLoop& already);
    bool OnIdle(int idleCount);
    bool HasMessageFilter(const CMessageFilter* filter) const;
    bool HasIdleHandler(const CIdleHandler* handler) const;

private:
    // Handlers may remove themselves (or others) while being called; removed slots are
    // nulled during a pass and compacted afterwards.
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idleHandlers_;
    int iterating_ = 0;
    void Compact();
};

class CAppModule {
public:
    // Runs the registered init callbacks, remembers the main thread and prepares the map.
    HRESULT Init(HINSTANCE instance);
    void Term();

    HINSTANCE GetModuleInstance() const { return instance_; }
    DWORD GetMainThreadId() const { return mainThreadId_; }

    bool AddMessageLoop(CMessageLoop* loop);  // under the current thread id
    bool RemoveMessageLoop();
    // The thread's own loop. It stays the same while a modal loop runs on the thread, so
    // that a window registering in WM_CREATE and removing itself in WM_DESTROY meets the
    // same loop whether or not a modal loop started (or ended) in between; the modal loop
    // offers messages to this loop's filters too.
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

    void AddInitCallback(std::function<void()> callback) { initCallbacks_.push_back(std::move(callback)); }

private:
    HINSTANCE instance_ = nullptr;
    DWORD mainThreadId_ = 0;
    bool initialised_ = false;
    mutable std::mutex lock_;
    std::map<DWORD, CMessageLoop*> loops_;
    std::vector<std::function<void()>> initCallbacks_;
};

// The process's module; one per process, as the windows look up their thread's loop here.
CAppModule& Module();

}  // namespace winhush::ui
