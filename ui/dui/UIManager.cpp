#include "ui/dui/UIManager.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>

#include "base/DibSurface.h"
#include "base/Handles.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UIControl.h"
#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui {

namespace {

constexpr UINT kMsgDelayedCleanup = WM_APP + 1;
constexpr UINT kHoverTime = 400;
constexpr UINT kReflectBase = WM_USER + 0x1C00;  // reflected messages for hosted child windows

// Every manager with a window, for the pre-translation of the message loop.
std::vector<CPaintManagerUI*>& Managers() {
    static std::vector<CPaintManagerUI*> managers;
    return managers;
}

int MulDivRound(int value, UINT dpi) { return ::MulDiv(value, static_cast<int>(dpi), 96); }

POINT PointFromLParam(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// The registration lists (notifiers, filters, accelerators, post-paint controls) hold each
// entry once and no null.
template <typename T>
bool AddOnce(std::vector<T*>& list, T* entry) {
    if (!entry || std::find(list.begin(), list.end(), entry) != list.end()) return false;
    list.push_back(entry);
    return true;
}

template <typename T>
bool EraseOne(std::vector<T*>& list, T* entry) {
    auto it = std::find(list.begin(), list.end(), entry);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() { detail::EnsureGdiplus(); }

CPaintManagerUI::~CPaintManagerUI() {
    // Controls reap themselves through the manager while being deleted.
    FlushDelayedCleanup();
    CControlUI* root = root_;
    root_ = nullptr;
    delete root;
    RemoveAllTimers();
    resources_.FreeHandles();
    if (tooltip_) ::DestroyWindow(tooltip_);
    paintDc_.reset();
    auto& managers = Managers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void CPaintManagerUI::Init(HWND hWnd) {
    paintDc_.reset();
    hwnd_ = hWnd;
    if (hWnd) {
        paintDc_.emplace(hWnd);
        UINT dpi = ::GetDpiForWindow(hWnd);
        if (dpi == 0) dpi = 96;
        if (dpi != dpi_) SetDPI(dpi);
        auto& managers = Managers();
        if (std::find(managers.begin(), managers.end(), this) == managers.end()) managers.push_back(this);
    }
}

HDC CPaintManagerUI::GetPaintDC() const { return paintDc_ ? paintDc_->get() : nullptr; }
HWND CPaintManagerUI::GetPaintWindow() const { return hwnd_; }
HWND CPaintManagerUI::GetTooltipWindow() const { return tooltip_; }
POINT CPaintManagerUI::GetMousePos() const { return lastMouse_; }

SIZE CPaintManagerUI::GetClientSize() const {
    if (!hwnd_) return initSize_;
    RECT rc = {};
    ::GetClientRect(hwnd_, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

SIZE CPaintManagerUI::GetInitSize() { return initSize_; }

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    initSize96_ = {cx, cy};
    initSize_ = ScaleSize(initSize96_);
    if (hwnd_ && !root_) {
        ::SetWindowPos(hwnd_, nullptr, 0, 0, initSize_.cx, initSize_.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

RECT& CPaintManagerUI::GetSizeBox() { return sizeBox_; }
void CPaintManagerUI::SetSizeBox(RECT& rc) {
    sizeBox96_ = rc;
    sizeBox_ = ScaleRect(rc);
}
RECT& CPaintManagerUI::GetCaptionRect() { return caption_; }
void CPaintManagerUI::SetCaptionRect(RECT& rc) {
    caption96_ = rc;
    caption_ = ScaleRect(rc);
}
SIZE CPaintManagerUI::GetRoundCorner() const { return roundCorner_; }
void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    roundCorner96_ = {cx, cy};
    roundCorner_ = ScaleSize(roundCorner96_);
}
SIZE CPaintManagerUI::GetMinInfo() const { return minInfo_; }
void CPaintManagerUI::SetMinInfo(int cx, int cy) {
    minInfo96_ = {std::max(cx, 0), std::max(cy, 0)};
    minInfo_ = ScaleSize(minInfo96_);
}
SIZE CPaintManagerUI::GetMaxInfo() const { return maxInfo_; }
void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
    maxInfo96_ = {std::max(cx, 0), std::max(cy, 0)};
    maxInfo_ = ScaleSize(maxInfo96_);
}

void CPaintManagerUI::SetTransparent(int opacity) {
    opacity_ = std::clamp(opacity, 0, 255);
    if (!hwnd_ || layered_) return;
    LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    if (opacity_ < 255) {
        ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(opacity_), LWA_ALPHA);
    } else if (exStyle & WS_EX_LAYERED) {
        ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
    }
}

void CPaintManagerUI::SetBackgroundTransparent(bool transparent) { bkTransparent_ = transparent; }

void CPaintManagerUI::SetLayered(bool layered) {
    layered_ = layered;
    if (!hwnd_) return;
    LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, layered ? exStyle | WS_EX_LAYERED : exStyle & ~WS_EX_LAYERED);
    Invalidate();
}

int CPaintManagerUI::ScaleValue(int value) const { return dpi_ == 96 ? value : MulDivRound(value, dpi_); }

RECT CPaintManagerUI::ScaleRect(const RECT& rc) const {
    return {ScaleValue(rc.left), ScaleValue(rc.top), ScaleValue(rc.right), ScaleValue(rc.bottom)};
}

SIZE CPaintManagerUI::ScaleSize(const SIZE& sz) const { return {ScaleValue(sz.cx), ScaleValue(sz.cy)}; }

void CPaintManagerUI::ApplyDpiToWindowData() {
    initSize_ = ScaleSize(initSize96_);
    minInfo_ = ScaleSize(minInfo96_);
    maxInfo_ = ScaleSize(maxInfo96_);
    roundCorner_ = ScaleSize(roundCorner96_);
    sizeBox_ = ScaleRect(sizeBox96_);
    caption_ = ScaleRect(caption96_);
}

void CPaintManagerUI::SetDPI(UINT dpi) {
    if (dpi == 0) dpi = 96;
    dpi_ = dpi;
    ApplyDpiToWindowData();
    resources_.OnDpiChanged();
    if (root_) {
        root_->NeedUpdate();
        NeedUpdate();
    }
}

// ---- fonts, images, default attributes (kept by the resource cache) ------------------

TFontInfo* CPaintManagerUI::GetDefaultFontInfo() { return resources_.GetDefaultFontInfo(); }

void CPaintManagerUI::SetDefaultFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic) {
    resources_.SetDefaultFont(fontName, size, bold, underline, italic);
}

HFONT CPaintManagerUI::AddFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic) {
    return resources_.AddFont(fontName, size, bold, underline, italic);
}

HFONT CPaintManagerUI::GetFont(int index) { return resources_.GetFont(index); }

HFONT CPaintManagerUI::GetFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic) {
    return resources_.GetFont(fontName, size, bold, underline, italic);
}

int CPaintManagerUI::GetFontIndex(HFONT hFont) { return resources_.GetFontIndex(hFont); }
TFontInfo* CPaintManagerUI::GetFontInfo(int index) { return resources_.GetFontInfo(index); }
TFontInfo* CPaintManagerUI::GetFontInfo(HFONT hFont) { return resources_.GetFontInfo(hFont); }
void CPaintManagerUI::RemoveAllFonts() { resources_.RemoveAllFonts(); }

const TImageInfo* CPaintManagerUI::GetImage(LPCTSTR bitmap) { return resources_.GetImage(bitmap); }

const TImageInfo* CPaintManagerUI::GetImageEx(LPCTSTR bitmap, LPCTSTR type, DWORD mask) {
    return resources_.GetImageEx(bitmap, type, mask);
}

const TImageInfo* CPaintManagerUI::AddImage(LPCTSTR bitmap, LPCTSTR type, DWORD mask) {
    return resources_.AddImage(bitmap, type, mask);
}

bool CPaintManagerUI::RemoveImage(LPCTSTR bitmap) { return resources_.RemoveImage(bitmap); }
void CPaintManagerUI::RemoveAllImages() { resources_.RemoveAllImages(); }

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR controlName, LPCTSTR attrList) {
    resources_.AddDefaultAttributeList(controlName, attrList);
}

LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR controlName) const {
    return resources_.GetDefaultAttributeList(controlName);
}

bool CPaintManagerUI::RemoveDefaultAttributeList(LPCTSTR controlName) {
    return resources_.RemoveDefaultAttributeList(controlName);
}

void CPaintManagerUI::RemoveAllDefaultAttributeList() { resources_.RemoveAllDefaultAttributeList(); }

// ---- tree ----------------------------------------------------------------------------

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    SetFocus(nullptr);
    eventKey_ = eventHover_ = eventClick_ = nullptr;
    if (root_) {
        postPaint_.clear();
        AddDelayedCleanup(root_);
    }
    root_ = pControl;
    updateNeeded_ = true;
    firstLayout_ = true;
    focusNeeded_ = true;
    return InitControls(pControl);
}

CControlUI* CALLBACK CPaintManagerUI::FindControlFromNameHash(CControlUI* pThis, LPVOID pData) {
    auto* manager = static_cast<CPaintManagerUI*>(pData);
    CDuiString name = pThis->GetName();
    if (!name.empty()) manager->names_[name] = pThis;  // the last of duplicate names wins
    return nullptr;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
    if (!pControl) return false;
    pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
    pControl->FindControl(FindControlFromNameHash, this, UIFIND_ALL);
    return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (!pControl) return;
    if (pControl == eventKey_) eventKey_ = nullptr;
    if (pControl == eventHover_) eventHover_ = nullptr;
    if (pControl == eventClick_) eventClick_ = nullptr;
    if (pControl == focus_) focus_ = nullptr;
    KillTimer(pControl);
    CDuiString name = pControl->GetName();
    if (!name.empty()) {
        auto it = names_.find(name);
        if (it != names_.end() && it->second == pControl) names_.erase(it);
    }
    for (auto& notify : asyncNotify_) {
        if (notify.pSender == pControl) notify.pSender = nullptr;
    }
    postPaint_.erase(std::remove(postPaint_.begin(), postPaint_.end(), pControl), postPaint_.end());
}

void CPaintManagerUI::ForgetControl(CControlUI* pControl) {
    ReapObjects(pControl);
    // Reaping the root (as windows do on WM_DESTROY) keeps it owned by the manager; only
    // a root that is really being deleted is let go of here.
    if (pControl == root_) root_ = nullptr;
}

bool CPaintManagerUI::AddOptionGroup(LPCTSTR groupName, CControlUI* pControl) {
    if (!groupName || !pControl) return false;
    auto& group = optionGroups_[groupName];
    if (group.Find(pControl) >= 0) return false;
    return group.Add(pControl);
}

CDuiPtrArray* CPaintManagerUI::GetOptionGroup(LPCTSTR groupName) {
    if (!groupName) return nullptr;
    auto it = optionGroups_.find(groupName);
    return it == optionGroups_.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR groupName, CControlUI* pControl) {
    if (!groupName) return;
    auto it = optionGroups_.find(groupName);
    if (it == optionGroups_.end()) return;
    int index = it->second.Find(pControl);
    if (index >= 0) it->second.Remove(index);
    if (it->second.IsEmpty()) optionGroups_.erase(it);
}

void CPaintManagerUI::RemoveAllOptionGroups() { optionGroups_.clear(); }

CControlUI* CALLBACK CPaintManagerUI::FindControlFromPoint(CControlUI* pThis, LPVOID pData) {
    const POINT* pt = static_cast<const POINT*>(pData);
    const RECT& rc = pThis->GetPos();
    return ::PtInRect(&rc, *pt) ? pThis : nullptr;
}

CControlUI* CALLBACK CPaintManagerUI::FindControlFromName(CControlUI* pThis, LPVOID pData) {
    const wchar_t* name = static_cast<const wchar_t*>(pData);
    CDuiString own = pThis->GetName();
    return !own.empty() && _wcsicmp(own.c_str(), name) == 0 ? pThis : nullptr;
}

struct ClassSearch {
    const wchar_t* className;
    int index;
};

CControlUI* CALLBACK CPaintManagerUI::FindControlFromClass(CControlUI* pThis, LPVOID pData) {
    auto* search = static_cast<ClassSearch*>(pData);
    if (_wcsicmp(pThis->GetClass(), search->className) != 0) return nullptr;
    return search->index-- == 0 ? pThis : nullptr;
}

CControlUI* CALLBACK CPaintManagerUI::FindControlFromCount(CControlUI*, LPVOID pData) {
    ++*static_cast<int*>(pData);
    return nullptr;
}

struct TabSearch {
    CControlUI* focus;
    CControlUI* last;
    bool forward;
    bool nextIsIt;
    CControlUI* first;
};

CControlUI* CALLBACK CPaintManagerUI::FindControlFromTab(CControlUI* pThis, LPVOID pData) {
    auto* info = static_cast<TabSearch*>(pData);
    if (!(pThis->GetControlFlags() & UIFLAG_TABSTOP)) return nullptr;
    if (!info->first) info->first = pThis;
    if (info->forward) {
        if (info->nextIsIt) return pThis;
        if (!info->focus) return pThis;
        if (pThis == info->focus) info->nextIsIt = true;
    } else {
        if (pThis == info->focus && info->last) return info->last;
        info->last = pThis;
    }
    return nullptr;
}

CControlUI* CALLBACK CPaintManagerUI::FindControlFromShortcut(CControlUI* pThis, LPVOID pData) {
    if (!pThis->IsVisible() || !pThis->IsEnabled()) return nullptr;
    TCHAR ch = *static_cast<TCHAR*>(pData);
    TCHAR own = pThis->GetShortcut();
    return own && ::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(own))) ==
                       ::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(ch)))
               ? pThis
               : nullptr;
}

CControlUI* CALLBACK CPaintManagerUI::FindControlFromUpdate(CControlUI* pThis, LPVOID) {
    return pThis->IsUpdateNeeded() ? pThis : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    return root_ ? root_->FindControl(FindControlFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST)
                 : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR name) const {
    if (!name) return nullptr;
    auto it = names_.find(name);
    return it == names_.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* pParent, POINT pt) const {
    if (!pParent) pParent = root_;
    return pParent ? pParent->FindControl(FindControlFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST)
                   : nullptr;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, LPCTSTR name) const {
    if (!pParent) pParent = root_;
    if (!pParent || !name) return nullptr;
    return pParent->FindControl(FindControlFromName, const_cast<wchar_t*>(name), UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* pParent, LPCTSTR className, int index) {
    if (!pParent) pParent = root_;
    if (!pParent || !className) return nullptr;
    ClassSearch search{className, index};
    return pParent->FindControl(FindControlFromClass, &search, UIFIND_ALL);
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl) {
    if (!pControl) return;
    pControl->SetManager(this, nullptr, false);
    delayedCleanup_.push_back(pControl);
    if (!hwnd_ || !::PostMessageW(hwnd_, kMsgDelayedCleanup, 0, 0)) FlushDelayedCleanup();
}

void CPaintManagerUI::FlushDelayedCleanup() {
    while (!delayedCleanup_.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(delayedCleanup_);
        for (CControlUI* control : batch) delete control;
    }
}

bool CPaintManagerUI::AddPostPaint(CControlUI* pControl) { return AddOnce(postPaint_, pControl); }

bool CPaintManagerUI::RemovePostPaint(CControlUI* pControl) { return EraseOne(postPaint_, pControl); }

// ---- focus, capture, timers ----------------------------------------------------------

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    HWND focusWnd = ::GetFocus();
    // Only giving a control the focus takes the window's; clearing it (a focused control
    // hidden in the background) must leave the keyboard with whichever window has it.
    if (pControl && hwnd_ && focusWnd != hwnd_ && pControl != focus_) ::SetFocus(hwnd_);
    if (pControl == focus_) return;
    if (focus_) {
        CControlUI* old = focus_;
        TEventUI event = MakeEvent(UIEVENT_KILLFOCUS, pControl, lastMouse_);
        old->Event(event);
        focus_ = nullptr;
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (pControl && pControl->GetManager() == this && pControl->IsVisible() && pControl->IsEnabled()) {
        focus_ = pControl;
        TEventUI event = MakeEvent(UIEVENT_SETFOCUS, pControl, lastMouse_);
        pControl->Event(event);
        if (focus_ == pControl) SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
    }
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* pControl) {
    if (hwnd_) ::SetFocus(hwnd_);
    if (!pControl) return;
    if (focus_) {
        TEventUI event = MakeEvent(UIEVENT_KILLFOCUS, pControl, lastMouse_);
        focus_->Event(event);
        SendNotify(focus_, DUI_MSGTYPE_KILLFOCUS);
        focus_ = nullptr;
    }
    TabSearch info = {pControl, nullptr, true, false, nullptr};
    focus_ = root_ ? root_->FindControl(FindControlFromTab, &info, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST)
                   : nullptr;
    focusNeeded_ = true;
    if (root_) root_->NeedUpdate();
}

bool CPaintManagerUI::SetNextTabControl(bool forward) {
    if (!root_) return false;
    focusNeeded_ = false;
    TabSearch info = {focus_, nullptr, forward, false, nullptr};
    CControlUI* next = root_->FindControl(FindControlFromTab, &info, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    if (!next) {
        if (forward) {
            next = info.first;  // wrap around
        } else {
            next = info.last;
        }
    }
    if (!next) return false;
    SetFocus(next);
    return true;
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT timerId, UINT elapse) {
    if (!pControl || !hwnd_) return false;
    for (auto& timer : timers_) {
        if (timer.sender == pControl && timer.localId == timerId) {
            if (!timer.killed) return false;
            if (!::SetTimer(hwnd_, timer.winTimer, elapse, nullptr)) return false;
            timer.killed = false;
            return true;
        }
    }
    UINT_PTR winTimer = ++nextTimerId_;
    if (!::SetTimer(hwnd_, winTimer, elapse, nullptr)) return false;
    timers_.push_back({pControl, timerId, winTimer, false});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT timerId) {
    for (auto& timer : timers_) {
        if (timer.sender == pControl && timer.localId == timerId && !timer.killed) {
            if (hwnd_) ::KillTimer(hwnd_, timer.winTimer);
            timer.killed = true;
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
    auto it = std::remove_if(timers_.begin(), timers_.end(), [&](const TimerInfo& timer) {
        if (timer.sender != pControl) return false;
        if (!timer.killed && hwnd_) ::KillTimer(hwnd_, timer.winTimer);
        return true;
    });
    timers_.erase(it, timers_.end());
}

void CPaintManagerUI::RemoveAllTimers() {
    for (auto& timer : timers_) {
        if (!timer.killed && hwnd_) ::KillTimer(hwnd_, timer.winTimer);
    }
    timers_.clear();
}

void CPaintManagerUI::SetCapture() {
    if (hwnd_) ::SetCapture(hwnd_);
    mouseCapture_ = true;
}

void CPaintManagerUI::ReleaseCapture() {
    mouseCapture_ = false;
    if (hwnd_ && ::GetCapture() == hwnd_) ::ReleaseCapture();
}

// ---- notifications, filters ----------------------------------------------------------

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) { return AddOnce(notifiers_, pNotifier); }

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
    auto it = std::find(notifiers_.begin(), notifiers_.end(), pNotifier);
    if (it == notifiers_.end()) return false;
    *it = nullptr;  // may be called from inside a notification; compacted after delivery
    return true;
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR message, WPARAM wParam, LPARAM lParam, bool async) {
    TNotifyUI msg;
    msg.pSender = pControl;
    msg.sType = message ? message : L"";
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async) {
    msg.ptMouse = lastMouse_;
    msg.dwTimestamp = ::GetTickCount();
    if (async) {
        asyncNotify_.push_back(msg);
        if (hwnd_) ::PostMessageW(hwnd_, WM_NULL, 0, 0);
        return;
    }
    if (!DeliverNotify(msg)) return;
    notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), nullptr), notifiers_.end());
}

bool CPaintManagerUI::DeliverNotify(TNotifyUI& msg) {
    if (msg.pSender && !msg.pSender->OnNotify(&msg)) return false;
    // Index loop: a notifier may add or remove notifiers while being called.
    for (size_t i = 0; i < notifiers_.size(); ++i) {
        if (notifiers_[i]) notifiers_[i]->Notify(msg);
    }
    return true;
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* pFilter) { return AddOnce(preFilters_, pFilter); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* pFilter) { return EraseOne(preFilters_, pFilter); }
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) { return AddOnce(filters_, pFilter); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) { return EraseOne(filters_, pFilter); }
bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* p) { return AddOnce(accelerators_, p); }
bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* p) { return EraseOne(accelerators_, p); }

bool CPaintManagerUI::TranslateAccelerator(LPMSG pMsg) {
    for (auto* accelerator : accelerators_) {
        if (accelerator->TranslateAccelerator(pMsg) == S_OK) return true;
    }
    return false;
}

void CPaintManagerUI::MessageLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const LPMSG pMsg) {
    // The manager of the window itself, else of its nearest top-level ancestor.
    for (HWND wnd = pMsg->hwnd; wnd; wnd = ::GetParent(wnd)) {
        for (CPaintManagerUI* manager : Managers()) {
            if (manager->GetPaintWindow() != wnd) continue;
            if (manager->TranslateAccelerator(pMsg)) return true;
            LRESULT result = 0;
            return manager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, result);
        }
        if (!(::GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD)) break;
    }
    return false;
}

void CPaintManagerUI::Term() { detail::ShutdownGdiplus(); }

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (RunFilters(preFilters_, uMsg, wParam, lParam, lRes)) return true;
    switch (uMsg) {
        case WM_KEYDOWN:
            if (wParam == VK_TAB) {
                if (focus_ && focus_->IsVisible() && focus_->IsEnabled() &&
                    wcsstr(focus_->GetClass(), L"RichEditUI") != nullptr) {
                    return false;
                }
                SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
                return true;
            }
            break;
        case WM_SYSCHAR: {
            if (!root_) break;
            TCHAR ch = static_cast<TCHAR>(wParam);
            CControlUI* control =
                root_->FindControl(FindControlFromShortcut, &ch, UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
            if (control) {
                control->SetFocus();
                control->Activate();
                return true;
            }
            break;
        }
        case WM_SYSKEYDOWN:
            if (focus_) {
                TEventUI event = MakeEvent(UIEVENT_SYSKEY, focus_, lastMouse_, wParam, lParam);
                event.chKey = static_cast<TCHAR>(wParam);
                event.wKeyState = 0;
                focus_->Event(event);
            }
            break;
        default:
            break;
    }
    return false;
}

// ---- the message handler -------------------------------------------------------------

TEventUI CPaintManagerUI::MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam, LPARAM lParam) {
    TEventUI event;
    event.Type = type;
    event.pSender = sender;
    event.dwTimestamp = ::GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    WORD keys = 0;
    if (::GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
    if (::GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
    event.wKeyState = keys;
    return event;
}

void CPaintManagerUI::NeedUpdate() { updateNeeded_ = true; }

void CPaintManagerUI::Invalidate() {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(RECT& rcItem) {
    if (hwnd_) ::InvalidateRect(hwnd_, &rcItem, FALSE);
}

// Re-runs SetPos on the topmost controls that asked for a relayout; their SetPos lays
// out their subtrees.
static void RelayoutFlagged(CControlUI* control) {
    if (!control->IsVisible()) return;
    if (control->IsUpdateNeeded()) {
        control->SetPos(control->GetPos(), false);
        return;
    }
    auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"));
    if (!container) return;
    for (int i = 0; i < container->GetChildCount(); ++i) {
        if (CControlUI* child = container->GetChildAt(i)) RelayoutFlagged(child);
    }
}

void CPaintManagerUI::UpdateLayout() {
    if (!root_) return;
    if (updateNeeded_) {
        updateNeeded_ = false;
        SIZE client = GetClientSize();
        RECT rcClient = {0, 0, client.cx, client.cy};
        if (!::IsRectEmpty(&rcClient)) {
            if (root_->IsUpdateNeeded()) {
                root_->SetPos(rcClient, false);
            } else {
                RelayoutFlagged(root_);
            }
            if (firstLayout_) {
                firstLayout_ = false;
                SendNotify(root_, DUI_MSGTYPE_WINDOWINIT);
                if (!root_) return;
            }
        } else {
            updateNeeded_ = true;
        }
    }
    if (focusNeeded_ && hwnd_) SetNextTabControl();
}

void CPaintManagerUI::PaintTo(HDC hdc, const RECT& rcPaint) {
    UpdateLayout();
    if (!root_) return;
    inPaint_ = true;
    root_->DoPaint(hdc, rcPaint);
    for (size_t i = 0; i < postPaint_.size(); ++i) postPaint_[i]->DoPostPaint(hdc, rcPaint);
    inPaint_ = false;
}

void CPaintManagerUI::PaintLayered() {
    RECT rcWindow;
    ::GetWindowRect(hwnd_, &rcWindow);
    int width = rcWindow.right - rcWindow.left, height = rcWindow.bottom - rcWindow.top;
    if (width <= 0 || height <= 0) return;
    WindowDc screen(nullptr);
    DibSurface surface(width, height, screen.get());
    if (!surface) return;
    RECT rcAll = {0, 0, width, height};
    PaintTo(surface.hdc(), rcAll);
    // GDI text and lines leave the alpha byte at 0. A premultiplied pixel with alpha 0
    // must be black, so any colour there was drawn by GDI and is meant opaque.
    ::GdiFlush();
    uint32_t* pixels = surface.pixels();
    for (int i = 0; i < width * height; ++i) {
        if ((pixels[i] & 0xFF000000) == 0 && (pixels[i] & 0x00FFFFFF) != 0) pixels[i] |= 0xFF000000;
    }
    POINT ptSrc = {0, 0}, ptDst = {rcWindow.left, rcWindow.top};
    SIZE size = {width, height};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(opacity_), AC_SRC_ALPHA};
    ::UpdateLayeredWindow(hwnd_, screen.get(), &ptDst, &size, surface.hdc(), &ptSrc, 0, &blend, ULW_ALPHA);
}

void CPaintManagerUI::PaintWindow() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    UpdateLayout();
    if (!root_) {
        ::EndPaint(hwnd_, &ps);
        return;
    }
    if (layered_) {
        PaintLayered();
        ::EndPaint(hwnd_, &ps);
        return;
    }
    RECT rcClient;
    ::GetClientRect(hwnd_, &rcClient);
    RECT rcPaint;
    if (::IntersectRect(&rcPaint, &ps.rcPaint, &rcClient)) {
        DibSurface surface(rcClient.right, rcClient.bottom, dc);
        if (surface) {
            HDC memDc = surface.hdc();
            if (bkTransparent_) {
                // Start from what is on screen so that unpainted parts keep the background.
                ::BitBlt(memDc, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left, rcPaint.bottom - rcPaint.top,
                         dc, rcPaint.left, rcPaint.top, SRCCOPY);
            } else {
                HBRUSH brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(hwnd_, GCLP_HBRBACKGROUND));
                ::FillRect(memDc, &rcPaint, brush ? brush : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            }
            PaintTo(memDc, rcPaint);
            ::BitBlt(dc, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left, rcPaint.bottom - rcPaint.top, memDc,
                     rcPaint.left, rcPaint.top, SRCCOPY);
            if (showUpdateRect_) {
                UniqueGdiObject frame(::CreateSolidBrush(RGB(220, 0, 0)));
                ::FrameRect(dc, &rcPaint, static_cast<HBRUSH>(frame.get()));
            }
        } else {
            PaintTo(dc, rcPaint);  // out of memory for the buffer: paint directly
        }
    }
    ::EndPaint(hwnd_, &ps);
    if (updateNeeded_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::UpdateToolTip(bool show) {
    if (!show) {
        if (tooltip_ && tooltipShown_)
            ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolTipInfo_));
        tooltipShown_ = false;
        return;
    }
    CControlUI* hover = eventHover_;
    if (!hover) return;
    CDuiString text = hover->GetToolTip();
    if (text.empty()) return;
    text.Replace(L"<n>", L"\r\n");
    static std::wstring shownText;
    shownText = text;
    if (!tooltip_) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                     GetInstance(), nullptr);
        toolTipInfo_ = {};
        toolTipInfo_.cbSize = sizeof(TOOLINFOW);
        toolTipInfo_.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
        toolTipInfo_.hwnd = hwnd_;
        toolTipInfo_.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        toolTipInfo_.lpszText = shownText.data();
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&toolTipInfo_));
    }
    toolTipInfo_.lpszText = shownText.data();
    toolTipInfo_.rect = hover->GetPos();
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, ScaleValue(hover->GetToolTipWidth()));
    ::SendMessageW(tooltip_, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&toolTipInfo_));
    POINT pt = lastMouse_;
    ::ClientToScreen(hwnd_, &pt);
    ::SendMessageW(tooltip_, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + ScaleValue(12), pt.y + ScaleValue(20)));
    ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolTipInfo_));
    tooltipShown_ = true;
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (!hwnd_) return false;
    DeliverAsyncNotify();
    if (RunFilters(filters_, uMsg, wParam, lParam, lRes)) return true;
    switch (uMsg) {
        case kMsgDelayedCleanup:
            FlushDelayedCleanup();
            return true;
        case WM_CLOSE:
            return OnClose();
        case WM_ERASEBKGND:
        case WM_PAINT:
        case WM_PRINTCLIENT:
            return OnPaintMessage(uMsg, wParam, lRes);
        case WM_SIZE:
            return OnSize(wParam, lParam);
        case WM_DPICHANGED:
            return OnDpiChanged(wParam, lParam, lRes);
        case WM_GETMINMAXINFO:
            return OnGetMinMaxInfo(lParam);
        case WM_TIMER:
            return OnTimer(wParam, lParam, lRes);
        case WM_MOUSEHOVER:
            return OnMouseHover(wParam, lParam);
        case WM_MOUSELEAVE:
            return OnMouseLeave();
        case WM_MOUSEMOVE:
            return OnMouseMove(wParam, lParam);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return OnLeftButtonDown(uMsg, wParam, lParam);
        case WM_LBUTTONUP:
            return OnLeftButtonUp(wParam, lParam);
        case WM_RBUTTONDOWN:
            return OnRightButtonDown(wParam, lParam);
        case WM_RBUTTONUP:
            // The click target of a right click ends with the button (WM_CONTEXTMENU follows).
            return false;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd_) mouseCapture_ = false;
            return false;
        case WM_CONTEXTMENU:
            return OnContextMenu(lParam);
        case WM_MOUSEWHEEL:
            return OnMouseWheel(wParam, lParam, lRes);
        case WM_CHAR:
        case WM_KEYDOWN:
        case WM_KEYUP:
            return OnKey(uMsg, wParam, lParam);
        case WM_SETCURSOR:
            return OnSetCursor(wParam, lParam, lRes);
        case WM_NOTIFY:
        case WM_COMMAND:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return ReflectToChild(uMsg, wParam, lParam, lRes);
        default:
            return false;
    }
}

// Queued notifications go out before the next message is handled.
void CPaintManagerUI::DeliverAsyncNotify() {
    if (asyncNotify_.empty()) return;
    std::vector<TNotifyUI> queued;
    queued.swap(asyncNotify_);
    for (auto& msg : queued) DeliverNotify(msg);
}

bool CPaintManagerUI::RunFilters(const std::vector<IMessageFilterUI*>& filters, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                 LRESULT& lRes) {
    // Index loop: a filter may add or remove filters while being called.
    for (size_t i = 0; i < filters.size(); ++i) {
        bool handled = false;
        LRESULT result = filters[i]->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = result;
            return true;
        }
    }
    return false;
}

bool CPaintManagerUI::OnClose() {
    POINT pt = lastMouse_;
    if (eventHover_) {
        TEventUI event = MakeEvent(UIEVENT_MOUSELEAVE, eventHover_, pt);
        eventHover_->Event(event);
        eventHover_ = nullptr;
    }
    if (eventClick_) {
        TEventUI event = MakeEvent(UIEVENT_BUTTONUP, eventClick_, pt);
        eventClick_->Event(event);
        eventClick_ = nullptr;
    }
    SetFocus(nullptr);
    return false;
}

bool CPaintManagerUI::OnPaintMessage(UINT uMsg, WPARAM wParam, LRESULT& lRes) {
    if (uMsg == WM_ERASEBKGND) {
        lRes = 1;
        return true;
    }
    if (!root_) return false;
    if (uMsg == WM_PAINT) {
        PaintWindow();
        lRes = 0;
        return true;
    }
    RECT rc;
    ::GetClientRect(hwnd_, &rc);
    PaintTo(reinterpret_cast<HDC>(wParam), rc);
    return true;
}

bool CPaintManagerUI::OnSize(WPARAM wParam, LPARAM lParam) {
    if (focus_) {
        TEventUI event = MakeEvent(UIEVENT_WINDOWSIZE, focus_, lastMouse_, wParam, lParam);
        focus_->Event(event);
    }
    if (root_) root_->NeedUpdate();
    NeedUpdate();
    return false;
}

bool CPaintManagerUI::OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    SetDPI(HIWORD(wParam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
    lRes = 0;
    return true;
}

bool CPaintManagerUI::OnGetMinMaxInfo(LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (minInfo_.cx > 0) info->ptMinTrackSize.x = minInfo_.cx;
    if (minInfo_.cy > 0) info->ptMinTrackSize.y = minInfo_.cy;
    if (maxInfo_.cx > 0) info->ptMaxTrackSize.x = maxInfo_.cx;
    if (maxInfo_.cy > 0) info->ptMaxTrackSize.y = maxInfo_.cy;
    return false;
}

bool CPaintManagerUI::OnTimer(WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    for (auto& timer : timers_) {
        if (timer.winTimer == wParam && !timer.killed) {
            TEventUI event = MakeEvent(UIEVENT_TIMER, timer.sender, lastMouse_, timer.localId, lParam);
            timer.sender->Event(event);
            lRes = 0;
            return true;
        }
    }
    return false;
}

// ---- mouse ---------------------------------------------------------------------------

CControlUI* CPaintManagerUI::OwnControlAt(POINT pt) const {
    CControlUI* control = FindControl(pt);
    return control && control->GetManager() == this ? control : nullptr;
}

bool CPaintManagerUI::OnMouseHover(WPARAM wParam, LPARAM lParam) {
    mouseTracking_ = false;
    POINT pt = PointFromLParam(lParam);
    CControlUI* hover = FindControl(pt);
    if (!hover) return false;
    if (eventHover_) {
        TEventUI event = MakeEvent(UIEVENT_MOUSEHOVER, eventHover_, pt, wParam, lParam);
        eventHover_->Event(event);
    }
    UpdateToolTip(true);
    return true;
}

bool CPaintManagerUI::OnMouseLeave() {
    UpdateToolTip(false);
    if (mouseTracking_) {
        mouseTracking_ = false;
        if (eventHover_ && !mouseCapture_) {
            TEventUI event = MakeEvent(UIEVENT_MOUSELEAVE, eventHover_, lastMouse_);
            CControlUI* hover = eventHover_;
            eventHover_ = nullptr;
            hover->Event(event);
        }
    }
    return false;
}

bool CPaintManagerUI::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (!mouseTracking_) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_HOVER | TME_LEAVE, hwnd_, kHoverTime};
        ::TrackMouseEvent(&tme);
        mouseTracking_ = true;
    }
    POINT pt = PointFromLParam(lParam);
    lastMouse_ = pt;
    CControlUI* newHover = FindControl(pt);
    if (newHover && newHover->GetManager() != this) return false;
    if (newHover != eventHover_ && eventHover_) {
        TEventUI event = MakeEvent(UIEVENT_MOUSELEAVE, eventHover_, pt, wParam, lParam);
        CControlUI* old = eventHover_;
        eventHover_ = nullptr;
        old->Event(event);
        UpdateToolTip(false);
    }
    if (newHover != eventHover_ && newHover) {
        eventHover_ = newHover;
        TEventUI event = MakeEvent(UIEVENT_MOUSEENTER, newHover, pt, wParam, lParam);
        newHover->Event(event);
    }
    CControlUI* target = eventClick_ ? eventClick_ : newHover;
    if (target) {
        TEventUI event = MakeEvent(UIEVENT_MOUSEMOVE, target, pt, wParam, lParam);
        target->Event(event);
    }
    return false;
}

bool CPaintManagerUI::OnLeftButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ::SetFocus(hwnd_);
    POINT pt = PointFromLParam(lParam);
    lastMouse_ = pt;
    CControlUI* control = OwnControlAt(pt);
    if (!control) return false;
    eventClick_ = control;
    if (uMsg == WM_LBUTTONDOWN) control->SetFocus();
    SetCapture();
    TEventUI event =
        MakeEvent(uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, control, pt, wParam, lParam);
    event.wKeyState = static_cast<WORD>(wParam);
    control->Event(event);
    return false;
}

bool CPaintManagerUI::OnLeftButtonUp(WPARAM wParam, LPARAM lParam) {
    POINT pt = PointFromLParam(lParam);
    lastMouse_ = pt;
    ReleaseCapture();
    if (!eventClick_) return false;
    CControlUI* control = eventClick_;
    eventClick_ = nullptr;
    TEventUI event = MakeEvent(UIEVENT_BUTTONUP, control, pt, wParam, lParam);
    event.wKeyState = static_cast<WORD>(wParam);
    control->Event(event);
    return false;
}

bool CPaintManagerUI::OnRightButtonDown(WPARAM wParam, LPARAM lParam) {
    ::SetFocus(hwnd_);
    POINT pt = PointFromLParam(lParam);
    lastMouse_ = pt;
    CControlUI* control = OwnControlAt(pt);
    if (!control) return false;
    control->SetFocus();
    eventClick_ = control;
    TEventUI event = MakeEvent(UIEVENT_RBUTTONDOWN, control, pt, wParam, lParam);
    event.wKeyState = static_cast<WORD>(wParam);
    control->Event(event);
    return false;
}

bool CPaintManagerUI::OnContextMenu(LPARAM lParam) {
    POINT pt = PointFromLParam(lParam);
    ::ScreenToClient(hwnd_, &pt);
    lastMouse_ = pt;
    CControlUI* control = eventClick_;
    eventClick_ = nullptr;
    ReleaseCapture();
    if (!control) return false;
    TEventUI event = MakeEvent(UIEVENT_CONTEXTMENU, control, pt, reinterpret_cast<WPARAM>(control), 0);
    control->Event(event);
    return false;
}

bool CPaintManagerUI::OnMouseWheel(WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    POINT pt = PointFromLParam(lParam);
    ::ScreenToClient(hwnd_, &pt);
    lastMouse_ = pt;
    CControlUI* control = OwnControlAt(pt);
    if (!control) return false;
    int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    TEventUI event =
        MakeEvent(UIEVENT_SCROLLWHEEL, control, pt, MAKEWPARAM(delta < 0 ? SB_LINEDOWN : SB_LINEUP, 0), lParam);
    control->Event(event);
    lRes = 0;
    return true;
}

bool CPaintManagerUI::OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (LOWORD(lParam) != HTCLIENT) return false;
    if (mouseCapture_) return true;
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(hwnd_, &pt);
    CControlUI* control = FindControl(pt);
    if (!control || !(control->GetControlFlags() & UIFLAG_SETCURSOR)) return false;
    TEventUI event = MakeEvent(UIEVENT_SETCURSOR, control, pt, wParam, lParam);
    control->Event(event);
    lRes = TRUE;
    return true;
}

// ---- keyboard and hosted child windows -----------------------------------------------

bool CPaintManagerUI::OnKey(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CControlUI* target = uMsg == WM_KEYUP ? eventKey_ : focus_;
    if (uMsg == WM_KEYDOWN) eventKey_ = focus_;
    if (uMsg == WM_KEYUP) eventKey_ = nullptr;
    if (!target) return false;
    int type = uMsg == WM_CHAR ? UIEVENT_CHAR : uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : UIEVENT_KEYUP;
    TEventUI event = MakeEvent(type, target, lastMouse_, wParam, lParam);
    event.chKey = static_cast<TCHAR>(wParam);
    target->Event(event);
    return false;
}

bool CPaintManagerUI::ReflectToChild(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    HWND child = reinterpret_cast<HWND>(lParam);
    if (uMsg == WM_NOTIFY) {
        auto* header = reinterpret_cast<LPNMHDR>(lParam);
        child = header && header->hwndFrom != hwnd_ ? header->hwndFrom : nullptr;
    }
    if (!child) return false;
    lRes = ::SendMessageW(child, kReflectBase + uMsg, wParam, lParam);
    // A colour message left unanswered falls through to the default brush.
    bool colorMessage = uMsg == WM_CTLCOLOREDIT || uMsg == WM_CTLCOLORSTATIC;
    return !colorMessage || lRes != 0;
}

}  // namespace winhush::dui
