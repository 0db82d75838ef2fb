#include "ui/dui/UIEdit.h"

#include "base/Handles.h"
#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui {

namespace {
constexpr UINT kReflectBase = WM_USER + 0x1C00;  // as the manager reflects child notifications
}

// The native EDIT window shown over a focused CEditUI. It lives while the control has the
// keyboard focus and writes its text back to the control as it changes.
class CEditWnd {
public:
    static CEditWnd* Open(CEditUI* owner) {
        CPaintManagerUI* manager = owner->GetManager();
        if (!manager || !manager->GetPaintWindow()) return nullptr;
        auto* wnd = new CEditWnd(owner);
        RECT rc = owner->NativeEditRect();
        DWORD style = WS_CHILD | ES_AUTOHSCROLL | ES_LEFT;
        if (owner->IsPasswordMode()) style |= ES_PASSWORD;
        if (owner->IsNumberOnly()) style |= ES_NUMBER;
        if (owner->IsReadOnly()) style |= ES_READONLY;
        UINT align = owner->GetTextStyle();
        if (align & DT_CENTER) style |= ES_CENTER;
        if (align & DT_RIGHT) style |= ES_RIGHT;
        wnd->hwnd_ = ::CreateWindowExW(0, L"EDIT", owner->GetText().c_str(), style, rc.left, rc.top,
                                       rc.right - rc.left, rc.bottom - rc.top, manager->GetPaintWindow(), nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
        if (!wnd->hwnd_) {
            delete wnd;
            return nullptr;
        }
        ::SetWindowLongPtrW(wnd->hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(wnd));
        wnd->oldProc_ = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(wnd->hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CEditWnd::Proc)));
        ::SendMessageW(wnd->hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFont(owner->GetFont())), TRUE);
        ::SendMessageW(wnd->hwnd_, EM_LIMITTEXT, owner->GetMaxChar(), 0);
        if (owner->IsPasswordMode()) ::SendMessageW(wnd->hwnd_, EM_SETPASSWORDCHAR, 0x25CF, 0);
        ::SendMessageW(wnd->hwnd_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
        ::SendMessageW(wnd->hwnd_, EM_SETSEL, owner->selStart_, owner->selEnd_);
        ::ShowWindow(wnd->hwnd_, SW_SHOW);
        ::SetFocus(wnd->hwnd_);
        return wnd;
    }

    void Close() {
        if (closing_) return;
        closing_ = true;
        // Destroying the window ends the object (WM_NCDESTROY).
        ::DestroyWindow(hwnd_);
    }

    HWND GetHwnd() const { return hwnd_; }
    void Detach() { owner_ = nullptr; }

private:
    explicit CEditWnd(CEditUI* owner) : owner_(owner) {}
    ~CEditWnd() = default;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CEditWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        WNDPROC oldProc = self->oldProc_;
        switch (msg) {
        case kReflectBase + WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE && self->owner_) {
                int length = ::GetWindowTextLengthW(hwnd);
                std::wstring text(length + 1, L'\0');
                ::GetWindowTextW(hwnd, text.data(), length + 1);
                text.resize(length);
                self->owner_->text_ = text;
                if (self->owner_->GetManager()) {
                    self->owner_->GetManager()->SendNotify(self->owner_, DUI_MSGTYPE_TEXTCHANGED);
                }
            }
            return 0;
        case kReflectBase + WM_CTLCOLOREDIT:
        case kReflectBase + WM_CTLCOLORSTATIC: {
            if (!self->owner_) break;
            HDC dc = reinterpret_cast<HDC>(wParam);
            DWORD bk = self->owner_->GetNativeEditBkColor();
            DWORD text = self->owner_->GetTextColor();
            if (!text && self->owner_->GetManager()) text = self->owner_->GetManager()->GetDefaultFontColor();
            ::SetBkColor(dc, RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
            ::SetTextColor(dc, RGB((text >> 16) & 0xFF, (text >> 8) & 0xFF, text & 0xFF));
            if (!self->brush_) self->brush_.reset(::CreateSolidBrush(RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF)));
            return reinterpret_cast<LRESULT>(self->brush_.get());
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && self->owner_ && self->owner_->GetManager()) {
                self->owner_->GetManager()->SendNotify(self->owner_, DUI_MSGTYPE_RETURN);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == VK_TAB) return 0;  // no beep
            break;
        case WM_KILLFOCUS: {
            LRESULT result = ::CallWindowProcW(oldProc, hwnd, msg, wParam, lParam);
            ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return result;
        }
        case WM_CLOSE:
            if (self->owner_) {
                CEditUI* owner = self->owner_;
                owner->window_ = nullptr;
                self->owner_ = nullptr;
                owner->Invalidate();
            }
            self->Close();
            return 0;
        case WM_NCDESTROY: {
            if (self->owner_) self->owner_->window_ = nullptr;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc));
            delete self;
            return ::CallWindowProcW(oldProc, hwnd, msg, wParam, lParam);
        }
        default: break;
        }
        return ::CallWindowProcW(oldProc, hwnd, msg, wParam, lParam);
    }

    CEditUI* owner_;
    HWND hwnd_ = nullptr;
    WNDPROC oldProc_ = nullptr;
    UniqueGdiObject brush_;
    bool closing_ = false;
};

CEditUI::CEditUI() {
    rcTextPadding_ = {6, 0, 6, 0};
    textStyle_ = DT_SINGLELINE | DT_VCENTER;
    bkColor_ = 0xFFFFFFFF;
}

CEditUI::~CEditUI() {
    if (window_) {
        CEditWnd* window = window_;
        window_ = nullptr;
        window->Detach();
        window->Close();
    }
}

LPCTSTR CEditUI::GetClass() const { return L"EditUI"; }
LPVOID CEditUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"Edit") == 0) return static_cast<CEditUI*>(this);
    return CLabelUI::GetInterface(name);
}
UINT CEditUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_SETCURSOR | UIFLAG_TABSTOP : 0; }

void CEditUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!enable) {
        buttonState_ = 0;
        if (window_) window_->Close();
    }
}

void CEditUI::SetText(LPCTSTR text) {
    std::wstring value = text ? text : L"";
    if (text_ == value) return;
    text_ = value;
    if (window_) ::SetWindowTextW(window_->GetHwnd(), text_.c_str());
    Invalidate();
}

void CEditUI::SetMaxChar(UINT max) {
    maxChar_ = max;
    if (window_) ::SendMessageW(window_->GetHwnd(), EM_LIMITTEXT, maxChar_, 0);
}
UINT CEditUI::GetMaxChar() const { return maxChar_; }
void CEditUI::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (window_) ::SendMessageW(window_->GetHwnd(), EM_SETREADONLY, readOnly, 0);
    Invalidate();
}
bool CEditUI::IsReadOnly() const { return readOnly_; }
void CEditUI::SetPasswordMode(bool passwordMode) {
    passwordMode_ = passwordMode;
    Invalidate();
}
bool CEditUI::IsPasswordMode() const { return passwordMode_; }
void CEditUI::SetNumberOnly(bool numberOnly) { numberOnly_ = numberOnly; }
bool CEditUI::IsNumberOnly() const { return numberOnly_; }
void CEditUI::SetSel(long startChar, long endChar) {
    selStart_ = startChar;
    selEnd_ = endChar;
    if (window_) ::SendMessageW(window_->GetHwnd(), EM_SETSEL, startChar, endChar);
}
void CEditUI::SetSelAll() { SetSel(0, -1); }
void CEditUI::SetNativeEditBkColor(DWORD color) { editBkColor_ = color; }
DWORD CEditUI::GetNativeEditBkColor() const { return editBkColor_; }
void CEditUI::SetPromptText(LPCTSTR text) {
    promptText_ = text ? text : L"";
    Invalidate();
}
HWND CEditUI::GetNativeWindow() const { return window_ ? window_->GetHwnd() : nullptr; }

RECT CEditUI::NativeEditRect() const {
    RECT padding = GetTextPadding();
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    // Vertically centre a one-line edit of the font's height.
    int fontHeight = manager_ ? manager_->GetFontInfo(font_)->tm.tmHeight : 16;
    int height = rc.bottom - rc.top;
    if (height > fontHeight + 2) {
        rc.top += (height - fontHeight - 2) / 2;
        rc.bottom = rc.top + fontHeight + 2;
    }
    return rc;
}

void CEditUI::OpenNativeEdit() {
    if (window_ || !IsEnabled() || !IsVisible()) return;
    window_ = CEditWnd::Open(this);
}

void CEditUI::SetPos(RECT rc, bool needInvalidate) {
    CLabelUI::SetPos(rc, needInvalidate);
    if (window_) {
        RECT edit = NativeEditRect();
        ::SetWindowPos(window_->GetHwnd(), nullptr, edit.left, edit.top, edit.right - edit.left, edit.bottom - edit.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CEditUI::SetVisible(bool visible) {
    CLabelUI::SetVisible(visible);
    if (!IsVisible() && window_) window_->Close();
}

void CEditUI::SetInternVisible(bool visible) {
    CLabelUI::SetInternVisible(visible);
    if (!IsVisible() && window_) window_->Close();
}

SIZE CEditUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy == 0 && manager_) {
        return {GetFixedWidth(), static_cast<LONG>(manager_->GetFontInfo(font_)->tm.tmHeight + DpiScale(12))};
    }
    return CControlUI::EstimateSize(szAvailable);
}

void CEditUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event) || TrackHotState(event, buttonState_)) return;
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (IsEnabled()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
            return;
        }
        break;
    case UIEVENT_WINDOWSIZE:
        if (window_ && manager_) manager_->SetFocusNeeded(this);
        return;
    case UIEVENT_SETFOCUS:
        if (IsEnabled()) {
            focused_ = true;
            OpenNativeEdit();
            Invalidate();
        }
        return;
    case UIEVENT_KILLFOCUS:
        focused_ = false;
        if (window_) window_->Close();
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled()) {
            if (manager_) manager_->ReleaseCapture();
            if (IsFocused() && !window_) OpenNativeEdit();
            if (window_) {
                // Put the caret where the user clicked.
                POINT pt = event.ptMouse;
                RECT edit = NativeEditRect();
                LPARAM pos = MAKELPARAM(pt.x - edit.left, pt.y - edit.top);
                ::SendMessageW(window_->GetHwnd(), WM_LBUTTONDOWN, event.wParam, pos);
                ::SendMessageW(window_->GetHwnd(), WM_LBUTTONUP, event.wParam, pos);
            }
        }
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
        return;
    default: break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    int number;
    DWORD color;
    if (n == L"readonly") {
        SetReadOnly(detail::ParseBool(value));
    } else if (n == L"numberonly") {
        SetNumberOnly(detail::ParseBool(value));
    } else if (n == L"password") {
        SetPasswordMode(detail::ParseBool(value));
    } else if (n == L"maxchar") {
        if (detail::ParseInt(value, number) && number > 0) SetMaxChar(static_cast<UINT>(number));
    } else if (n == L"normalimage") {
        normalImage_ = value;
    } else if (n == L"hotimage") {
        hotImage_ = value;
    } else if (n == L"focusedimage") {
        focusedImage_ = value;
    } else if (n == L"disabledimage") {
        disabledImage_ = value;
    } else if (n == L"nativebkcolor") {
        if (detail::ParseColor(value, color)) SetNativeEditBkColor(color);
    } else if (n == L"prompttext") {
        SetPromptText(value);
    } else if (n == L"prompttextcolor") {
        if (detail::ParseColor(value, color)) promptColor_ = color;
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

void CEditUI::PaintStatusImage(HDC hDC) {
    bool drawn = false;
    if (!IsEnabled()) {
        drawn = !disabledImage_.empty() && DrawImage(hDC, disabledImage_.c_str());
    } else if (IsFocused()) {
        drawn = !focusedImage_.empty() && DrawImage(hDC, focusedImage_.c_str());
    } else if (buttonState_ & UISTATE_HOT) {
        drawn = !hotImage_.empty() && DrawImage(hDC, hotImage_.c_str());
    }
    if (!drawn && !normalImage_.empty()) DrawImage(hDC, normalImage_.c_str());
}

void CEditUI::PaintText(HDC hDC) {
    if (window_ || !manager_) return;  // the native edit paints itself
    RECT padding = GetTextPadding();
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    if (text_.empty()) {
        if (!promptText_.empty()) CRenderEngine::DrawText(hDC, manager_, rc, promptText_.c_str(), promptColor_, font_, textStyle_);
        return;
    }
    std::wstring shown = passwordMode_ ? std::wstring(text_.size(), L'\x25CF') : std::wstring(text_);
    DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    if (!IsEnabled()) color = disabledTextColor_ ? disabledTextColor_ : manager_->GetDefaultDisabledColor();
    CRenderEngine::DrawText(hDC, manager_, rc, shown.c_str(), color, font_, textStyle_ | DT_EDITCONTROL);
}

}  // namespace winhush::dui
