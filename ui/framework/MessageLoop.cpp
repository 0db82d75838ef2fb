#include "ui/framework/MessageLoop.h"

#include <algorithm>

namespace winhush::ui {

namespace {
template <typename T>
void RemoveOrNull(std::vector<T*>& items, T* item, bool iterating) {
    auto it = std::find(items.begin(), items.end(), item);
    if (it == items.end()) return;
    if (iterating)
        *it = nullptr;
    else
        items.erase(it);
}
}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
    if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) filters_.push_back(filter);
}
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { RemoveOrNull(filters_, filter, iterating_ > 0); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) {
    if (handler && std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) == idleHandlers_.end())
        idleHandlers_.push_back(handler);
}
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { RemoveOrNull(idleHandlers_, handler, iterating_ > 0); }

void CMessageLoop::Compact() {
    if (iterating_ > 0) return;
    filters_.erase(std::remove(filters_.begin(), filters_.end(), nullptr), filters_.end());
    idleHandlers_.erase(std::remove(idleHandlers_.begin(), idleHandlers_.end(), nullptr), idleHandlers_.end());
}

bool CMessageLoop::IsIdleMessage(const MSG& msg) {
    switch (msg.message) {
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
        case WM_PAINT:
        case 0x0118:  // WM_SYSTIMER: the caret blink timer
            return false;
    }
    return true;
}

bool CMessageLoop::PreTranslateMessage(MSG* msg) {
    bool consumed = false;
    ++iterating_;
    // Newest first: a modal dialog's filter sees keys before the main window's.
    for (size_t i = filters_.size(); i-- > 0 && !consumed;) {
        if (i < filters_.size() && filters_[i] && filters_[i]->PreTranslateMessage(msg)) consumed = true;
    }
    --iterating_;
    Compact();
    return consumed;
}

bool CMessageLoop::PreTranslateMessageExcept(MSG* msg, const CMessageLoop& already) {
    if (&already == this) return false;
    bool consumed = false;
    ++iterating_;
    for (size_t i = filters_.size(); i-- > 0 && !consumed;) {
        if (i >= filters_.size() || !filters_[i] || already.HasMessageFilter(filters_[i])) continue;
        if (filters_[i]->PreTranslateMessage(msg)) consumed = true;
    }
    --iterating_;
    Compact();
    return consumed;
}

bool CMessageLoop::HasMessageFilter(const CMessageFilter* filter) const {
    return filter && std::find(filters_.begin(), filters_.end(), filter) != filters_.end();
}

bool CMessageLoop::HasIdleHandler(const CIdleHandler* handler) const {
    return handler && std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) != idleHandlers_.end();
}

bool CMessageLoop::OnIdle(int /*idleCount*/) {
    bool moreWork = false;
    ++iterating_;
    for (size_t i = 0; i < idleHandlers_.size(); ++i) {
        if (idleHandlers_[i] && idleHandlers_[i]->OnIdle()) moreWork = true;
    }
    --iterating_;
    Compact();
    return moreWork;
}

int CMessageLoop::Run() {
    bool doIdle = true;
    int idleCount = 0;
    MSG msg = {};
    for (;;) {
        while (doIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) doIdle = false;
        }
        BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
        if (result == -1) continue;
        if (result == 0) break;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (IsIdleMessage(msg)) {
            doIdle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg.wParam);
}

HRESULT CAppModule::Init(HINSTANCE instance) {
    instance_ = instance;
    for (auto& callback : initCallbacks_) callback();
    mainThreadId_ = ::GetCurrentThreadId();
    std::lock_guard guard(lock_);
    loops_.clear();
    initialised_ = true;
    return S_OK;
}

void CAppModule::Term() {
    std::lock_guard guard(lock_);
    loops_.clear();
    initialised_ = false;
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
    std::lock_guard guard(lock_);
    if (!initialised_ || !loop) return false;
    return loops_.emplace(::GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() {
    std::lock_guard guard(lock_);
    return loops_.erase(::GetCurrentThreadId()) > 0;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const {
    std::lock_guard guard(lock_);
    auto it = loops_.find(threadId);
    return it == loops_.end() ? nullptr : it->second;
}

CAppModule& Module() {
    static CAppModule module;
    return module;
}

}  // namespace winhush::ui
