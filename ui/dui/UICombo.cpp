#include "ui/dui/UICombo.h"

#include <algorithm>

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"
#include "ui/dui/UIScrollBar.h"

namespace winhush::dui {

// The drop list: a pop-up window with its own manager that borrows the combo's items
// while it is open and hands them back when it closes.
class CComboWnd {
public:
    static constexpr const wchar_t* kClassName = L"WinhushDuiComboDrop";

    explicit CComboWnd(CComboUI* owner) : owner_(owner) {}

    bool Open() {
        RegisterClassOnce();
        CPaintManagerUI* ownerManager = owner_->GetManager();
        HWND ownerWnd = ownerManager ? ownerManager->GetPaintWindow() : nullptr;
        if (!ownerWnd) return false;
        // Size: the drop box size, its height shrunk to the items.
        RECT rc = owner_->GetPos();
        SIZE box = owner_->GetDropBoxSize();
        int width = box.cx > 0 ? box.cx : rc.right - rc.left;
        int contentHeight = 0;
        SIZE available = {width, box.cy};
        for (int i = 0; i < owner_->GetCount(); ++i) {
            CControlUI* item = owner_->GetItemAt(i);
            // The items are hidden by the closed combo itself; only their own flag counts.
            if (!item->IsSelfVisible()) continue;
            contentHeight += item->EstimateSize(available).cy;
        }
        int border = ownerManager->ScaleValue(1);
        int height = std::min(static_cast<int>(box.cy), contentHeight + 2 * border);
        POINT topLeft = {rc.left, rc.bottom};
        ::ClientToScreen(ownerWnd, &topLeft);
        RECT screen = {topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + height};
        MONITORINFO monitor = {sizeof(monitor)};
        ::GetMonitorInfoW(::MonitorFromWindow(ownerWnd, MONITOR_DEFAULTTONEAREST), &monitor);
        if (screen.bottom > monitor.rcWork.bottom) {
            // No room below: open above the combo.
            POINT top = {rc.left, rc.top};
            ::ClientToScreen(ownerWnd, &top);
            screen = {top.x, top.y - height, top.x + width, top.y};
        }
        HWND root = ::GetAncestor(ownerWnd, GA_ROOT);
        hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN,
                                  screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top, root,
                                  nullptr, ::GetModuleHandleW(nullptr), this);
        if (!hwnd_) return false;
        ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
        ::SetFocus(hwnd_);
        return true;
    }

    void Close() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }

    HWND GetHwnd() const { return hwnd_; }

private:
    static void RegisterClassOnce() {
        static bool registered = false;
        if (registered) return;
        WNDCLASSEXW wc = {sizeof(wc)};
        wc.style = CS_DBLCLKS | CS_DROPSHADOW;
        wc.lpfnWndProc = WndProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        registered = ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CComboWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_NCCREATE) {
            self = static_cast<CComboWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        return self->HandleMessage(msg, wParam, lParam);
    }

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
        switch (msg) {
        case WM_CREATE: {
            manager_.Init(hwnd_);
            CPaintManagerUI* ownerManager = owner_->GetManager();
            manager_.SetDPI(ownerManager->GetDPI());
            // The owner window's fonts, by the same indexes.
            for (DWORD i = 0; i < ownerManager->GetCustomFontCount(); ++i) {
                TFontInfo* font = ownerManager->GetFontInfo(static_cast<int>(i));
                manager_.AddFont(font->sFontName.c_str(), font->iSize, font->bBold, font->bUnderline, font->bItalic);
            }
            TFontInfo* font = ownerManager->GetDefaultFontInfo();
            manager_.SetDefaultFont(font->sFontName.c_str(), font->iSize, font->bBold, font->bUnderline, font->bItalic);
            layout_ = new CVerticalLayoutUI;
            layout_->SetBkColor(0xFFFFFFFF);
            layout_->SetBorderColor(0xFFD5D9E0);
            layout_->SetBorderSize(1);
            layout_->SetInset({1, 1, 1, 1});
            layout_->EnableScrollBar();
            layout_->ApplyAttributeList(owner_->GetDropBoxAttributeList().c_str());
            layout_->SetAutoDestroy(false);
            manager_.AttachDialog(layout_);
            for (int i = 0; i < owner_->GetCount(); ++i) {
                CControlUI* item = owner_->GetItemAt(i);
                layout_->Add(item);
                item->SetInternVisible(true);
            }
            return 0;
        }
        case WM_KILLFOCUS:
            if (reinterpret_cast<HWND>(wParam) != hwnd_) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            break;
        case WM_LBUTTONUP: {
            LRESULT result = 0;
            manager_.MessageHandler(msg, wParam, lParam, result);
            POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            CControlUI* hit = manager_.FindControl(pt);
            if (hit && hit->GetInterface(L"ListItem")) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            return 0;
        }
        case WM_KEYDOWN:
            switch (wParam) {
            case VK_ESCAPE:
                restore_ = true;
                ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
                return 0;
            case VK_RETURN:
                ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
                return 0;
            case VK_UP:
            case VK_DOWN: {
                TEventUI event = {};
                event.Type = UIEVENT_KEYDOWN;
                event.chKey = static_cast<TCHAR>(wParam);
                owner_->DoEvent(event);
                return 0;
            }
            default: break;
            }
            break;
        case WM_MOUSEWHEEL: {
            int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            if (layout_) delta < 0 ? layout_->LineDown() : layout_->LineUp();
            return 0;
        }
        case WM_CLOSE:
            owner_->CloseDropList(restore_);
            return 0;
        case WM_DESTROY: {
            // Hand the items back before the manager and its root go away.
            if (layout_) layout_->RemoveAll();
            CPaintManagerUI* ownerManager = owner_->GetManager();
            for (int i = 0; i < owner_->GetCount(); ++i) {
                CControlUI* item = owner_->GetItemAt(i);
                manager_.ReapObjects(item);
                item->SetManager(ownerManager, owner_, false);
                item->SetInternVisible(false);
            }
            break;
        }
        case WM_NCDESTROY: {
            ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            LRESULT result = ::DefWindowProcW(hwnd_, msg, wParam, lParam);
            delete this;
            return result;
        }
        default: break;
        }
        LRESULT result = 0;
        if (manager_.MessageHandler(msg, wParam, lParam, result)) return result;
        return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    }

    CComboUI* owner_;
    HWND hwnd_ = nullptr;
    CPaintManagerUI manager_;
    CVerticalLayoutUI* layout_ = nullptr;
    bool restore_ = false;
};

CComboUI::CComboUI() {
    rcTextPadding_ = {8, 0, 24, 0};
    listInfo_.uTextStyle = DT_VCENTER | DT_SINGLELINE;
    listInfo_.rcTextPadding = {8, 0, 8, 0};
}

CComboUI::~CComboUI() {
    if (window_) {
        CComboWnd* window = window_;
        window_ = nullptr;
        window->Close();
    }
}

LPCTSTR CComboUI::GetClass() const { return L"ComboUI"; }
LPVOID CComboUI::GetInterface(LPCTSTR name) {
    if (!name) return nullptr;
    if (wcscmp(name, L"Combo") == 0) return static_cast<CComboUI*>(this);
    if (wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CContainerUI::GetInterface(name);
}
UINT CComboUI::GetControlFlags() const { return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0); }

void CComboUI::DoInit() {
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetInternVisible(false);
}

CDuiString CComboUI::GetText() const {
    if (curSel_ < 0) return CDuiString();
    CControlUI* item = GetItemAt(curSel_);
    return item ? item->GetText() : CDuiString();
}

void CComboUI::SetEnabled(bool enable) {
    CContainerUI::SetEnabled(enable);
    if (!enable) buttonState_ = 0;
}

CDuiString CComboUI::GetDropBoxAttributeList() { return dropBoxAttributes_; }
void CComboUI::SetDropBoxAttributeList(LPCTSTR list) { dropBoxAttributes_ = list ? list : L""; }
SIZE CComboUI::GetDropBoxSize() const { return manager_ ? manager_->ScaleSize(szDropBox_) : szDropBox_; }
void CComboUI::SetDropBoxSize(SIZE szDropBox) { szDropBox_ = szDropBox; }

void CComboUI::CloseDropList(bool restoreSelection) {
    if (!window_) return;
    CComboWnd* window = window_;
    window_ = nullptr;
    if (restoreSelection && selBeforeDrop_ != curSel_) SelectItem(selBeforeDrop_, false, true);
    window->Close();
    if (manager_) {
        if (HWND host = manager_->GetPaintWindow()) ::SetFocus(host);
    }
    Invalidate();
}

int CComboUI::GetCurSel() const { return curSel_; }

bool CComboUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index == curSel_) return true;
    int old = curSel_;
    DeselectRow(*this, curSel_);
    if (index < 0 || GetCount() == 0) {
        Invalidate();
        return false;
    }
    index = std::min(index, GetCount() - 1);
    CControlUI* control = GetItemAt(index);
    auto* item = control ? static_cast<IListItemUI*>(control->GetInterface(L"ListItem")) : nullptr;
    if (!item || !control->IsEnabled()) return false;
    curSel_ = index;
    if (window_ || takeFocus) control->SetFocus();
    item->Select(true, false);
    if (triggerEvent && manager_) manager_->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, curSel_, old);
    Invalidate();
    return true;
}

TListInfoUI* CComboUI::GetListInfo() { return &listInfo_; }

bool CComboUI::SetItemIndex(CControlUI* pControl, int index) {
    int old = GetItemIndex(pControl);
    if (!CContainerUI::SetItemIndex(pControl, index)) return false;
    for (int i = std::min(old, index); i < GetCount(); ++i) {
        if (auto* item = static_cast<IListItemUI*>(GetItemAt(i)->GetInterface(L"ListItem"))) item->SetIndex(i);
    }
    return true;
}

bool CComboUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CComboUI::AddAt(CControlUI* pControl, int index) {
    if (!CContainerUI::AddAt(pControl, index)) return false;
    if (auto* item = static_cast<IListItemUI*>(pControl->GetInterface(L"ListItem"))) item->SetOwner(this);
    for (int i = index; i < GetCount(); ++i) {
        if (auto* item = static_cast<IListItemUI*>(GetItemAt(i)->GetInterface(L"ListItem"))) item->SetIndex(i);
    }
    if (!window_) pControl->SetInternVisible(false);
    if (curSel_ >= index) ++curSel_;
    return true;
}

bool CComboUI::Remove(CControlUI* pControl) {
    int index = GetItemIndex(pControl);
    return index >= 0 && RemoveAt(index);
}

bool CComboUI::RemoveAt(int index) {
    if (!CContainerUI::RemoveAt(index)) return false;
    for (int i = index; i < GetCount(); ++i) {
        if (auto* item = static_cast<IListItemUI*>(GetItemAt(i)->GetInterface(L"ListItem"))) item->SetIndex(i);
    }
    if (index == curSel_) {
        curSel_ = -1;
    } else if (index < curSel_) {
        --curSel_;
    }
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

int CComboUI::FindSelectable(int index, bool forward) const {
    int count = GetCount();
    if (count == 0) return -1;
    index = std::clamp(index, 0, count - 1);
    auto selectable = [&](int i) {
        CControlUI* c = GetItemAt(i);
        return c->GetInterface(L"ListItem") && c->IsEnabled();
    };
    for (int i = index; forward ? i < count : i >= 0; i += forward ? 1 : -1) {
        if (selectable(i)) return i;
    }
    return -1;
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (window_) return true;
    selBeforeDrop_ = curSel_;
    window_ = new CComboWnd(this);
    if (!window_->Open()) {
        delete window_;
        window_ = nullptr;
        return false;
    }
    if (manager_) manager_->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
    Invalidate();
    return true;
}

RECT CComboUI::GetTextPadding() const { return DpiScale(rcTextPadding_); }
void CComboUI::SetTextPadding(RECT rc) { SetLook(rcTextPadding_, rc); }
LPCTSTR CComboUI::GetNormalImage() const { return normalImage_.c_str(); }
void CComboUI::SetNormalImage(LPCTSTR image) { SetLook(normalImage_, image); }
LPCTSTR CComboUI::GetHotImage() const { return hotImage_.c_str(); }
void CComboUI::SetHotImage(LPCTSTR image) { SetLook(hotImage_, image); }
LPCTSTR CComboUI::GetPushedImage() const { return pushedImage_.c_str(); }
void CComboUI::SetPushedImage(LPCTSTR image) { SetLook(pushedImage_, image); }
LPCTSTR CComboUI::GetFocusedImage() const { return focusedImage_.c_str(); }
void CComboUI::SetFocusedImage(LPCTSTR image) { SetLook(focusedImage_, image); }
LPCTSTR CComboUI::GetDisabledImage() const { return disabledImage_.c_str(); }
void CComboUI::SetDisabledImage(LPCTSTR image) { SetLook(disabledImage_, image); }

void CComboUI::SetPos(RECT rc, bool needInvalidate) {
    // The items are laid out by the drop list, not inside the combo.
    CControlUI::SetPos(rc, needInvalidate);
}

void CComboUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event) || TrackHotState(event, buttonState_)) return;
    // Focus changes go to the base, which records and repaints them.
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
        if (IsEnabled()) {
            Activate();
            buttonState_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        ReleaseCapturedState(buttonState_);
        return;
    case UIEVENT_MOUSEMOVE:
        return;
    case UIEVENT_KEYDOWN:
        switch (event.chKey) {
        case VK_F4: Activate(); return;
        case VK_UP: SelectItem(FindSelectable(curSel_ - 1, false)); return;
        case VK_DOWN: SelectItem(FindSelectable(curSel_ + 1, true)); return;
        case VK_PRIOR: SelectItem(FindSelectable(curSel_ - 1, false)); return;
        case VK_NEXT: SelectItem(FindSelectable(curSel_ + 1, true)); return;
        case VK_HOME: SelectItem(FindSelectable(0, true)); return;
        case VK_END: SelectItem(FindSelectable(GetCount() - 1, false)); return;
        default: break;
        }
        break;
    case UIEVENT_SCROLLWHEEL:
        if (LOWORD(event.wParam) == SB_LINEUP) {
            SelectItem(FindSelectable(curSel_ - 1, false));
        } else {
            SelectItem(FindSelectable(curSel_ + 1, true));
        }
        return;
    case UIEVENT_CONTEXTMENU:
        return;
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return;
    default: break;
    }
    CControlUI::DoEvent(event);
}

void CComboUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    // The closed combo draws with the item font and colour.
    if (n == L"font" || n == L"textcolor") n = L"item" + n;
    if (SetListInfoAttribute(listInfo_, n, value) || SetStateImageAttribute(*this, n, value)) return;
    RECT rc;
    SIZE sz;
    if (n == L"textpadding") {
        if (detail::ParseRect(value, rc)) SetTextPadding(rc);
    } else if (n == L"dropbox") {
        SetDropBoxAttributeList(value);
    } else if (n == L"dropboxsize") {
        if (detail::ParseSize(value, sz) && sz.cx >= 0 && sz.cy >= 0) SetDropBoxSize(sz);
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

SIZE CComboUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy == 0 && manager_) {
        return {GetFixedWidth(), static_cast<LONG>(manager_->GetFontInfo(listInfo_.nFont)->tm.tmHeight + DpiScale(12))};
    }
    return CControlUI::EstimateSize(szAvailable);
}

void CComboUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    if (!::IntersectRect(&rcPaint_, &rcPaint, &rcItem_)) return;
    PaintLayers(hDC, true);
}

void CComboUI::PaintStatusImage(HDC hDC) {
    if (IsFocused()) {
        buttonState_ |= UISTATE_FOCUSED;
    } else {
        buttonState_ &= ~UISTATE_FOCUSED;
    }
    bool drawn = false;
    if (!IsEnabled()) {
        drawn = !disabledImage_.empty() && DrawImage(hDC, disabledImage_.c_str());
    } else if (buttonState_ & UISTATE_PUSHED) {
        drawn = !pushedImage_.empty() && DrawImage(hDC, pushedImage_.c_str());
    } else if (buttonState_ & UISTATE_HOT) {
        drawn = !hotImage_.empty() && DrawImage(hDC, hotImage_.c_str());
    } else if (buttonState_ & UISTATE_FOCUSED) {
        drawn = !focusedImage_.empty() && DrawImage(hDC, focusedImage_.c_str());
    }
    if (!drawn && !normalImage_.empty()) drawn = DrawImage(hDC, normalImage_.c_str());
    if (!drawn && normalImage_.empty() && manager_) {
        // Without artwork: a chevron at the right edge.
        int size = DpiScale(8);
        int cx = rcItem_.right - DpiScale(14);
        int cy = (rcItem_.top + rcItem_.bottom) / 2;
        DWORD color = IsEnabled() ? 0xFF646A73 : manager_->GetDefaultDisabledColor();
        for (int i = 0; i < size / 2; ++i) {
            CRenderEngine::DrawColor(hDC, {cx - size / 2 + i, cy - size / 4 + i, cx + size / 2 - i, cy - size / 4 + i + 1},
                                     color);
        }
    }
}

void CComboUI::PaintText(HDC hDC) {
    if (curSel_ < 0 || !manager_) return;
    CControlUI* item = GetItemAt(curSel_);
    if (!item) return;
    RECT padding = GetTextPadding();
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    DWORD color = IsEnabled() ? (listInfo_.dwTextColor ? listInfo_.dwTextColor : manager_->GetDefaultFontColor())
                              : manager_->GetDefaultDisabledColor();
    CDuiString text = item->GetText();
    if (listInfo_.bShowHtml) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text.c_str(), color, nullptr, nullptr, links,
                                    DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    } else {
        CRenderEngine::DrawText(hDC, manager_, rc, text.c_str(), color, listInfo_.nFont,
                                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
}

}  // namespace winhush::dui
