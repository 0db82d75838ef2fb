// CControlUI: the windowless control every element of a layout derives from. It holds
// position, size constraints, colours, images and state, takes attributes by name from
// the layout, paints itself in fixed steps (background colour, background image, status
// image, text, border) and receives events from its paint manager.
//
// Sizes given to the setters (SetFixedWidth, SetPadding, SetBorderSize...) are 96-DPI
// units as in the layouts; the getters used by layout (GetFixedWidth, GetPadding...) and
// GetPos() answer device pixels at the manager's DPI.
#pragma once

#include <windows.h>

#include <map>

#include "ui/dui/UIBase.h"
#include "ui/dui/UIDefine.h"
#include "ui/dui/UIManager.h"

namespace winhush::dui {

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetName() const;
    virtual void SetName(LPCTSTR name);
    virtual LPCTSTR GetClass() const;
    virtual LPVOID GetInterface(LPCTSTR name);
    virtual UINT GetControlFlags() const;

    virtual bool Activate();
    virtual CPaintManagerUI* GetManager() const;
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool init = true);
    virtual CControlUI* GetParent() const;

    // Text.
    virtual CDuiString GetText() const;
    virtual void SetText(LPCTSTR text);

    // Appearance.
    DWORD GetBkColor() const { return bkColor_; }
    void SetBkColor(DWORD color);
    DWORD GetBkColor2() const { return bkColor2_; }
    void SetBkColor2(DWORD color);
    DWORD GetBkColor3() const { return bkColor3_; }
    void SetBkColor3(DWORD color);
    LPCTSTR GetBkImage();
    void SetBkImage(LPCTSTR image);
    DWORD GetFocusBorderColor() const { return focusBorderColor_; }
    void SetFocusBorderColor(DWORD color);
    bool IsColorHSL() const { return false; }
    SIZE GetBorderRound() const;  // pixels
    void SetBorderRound(SIZE round);  // 96-DPI units
    // Draws an image string relative to the control; only valid while painting.
    bool DrawImage(HDC hDC, LPCTSTR image, LPCTSTR modify = nullptr);

    int GetBorderSize() const;  // pixels
    void SetBorderSize(int size);
    void SetBorderSize(RECT rc);
    DWORD GetBorderColor() const { return borderColor_; }
    void SetBorderColor(DWORD color);
    int GetBorderStyle() const { return borderStyle_; }
    void SetBorderStyle(int style);

    // Position; GetPos is in the host window's client pixels.
    virtual const RECT& GetPos() const;
    virtual void SetPos(RECT rc, bool needInvalidate = true);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual RECT GetPadding() const;  // pixels
    virtual void SetPadding(RECT rcPadding);  // 96-DPI units
    virtual SIZE GetFixedXY() const;  // float position, pixels
    virtual void SetFixedXY(SIZE szXY);  // 96-DPI units
    virtual int GetFixedWidth() const;  // pixels, 0 = stretch
    virtual void SetFixedWidth(int cx);  // 96-DPI units
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    // Float anchoring: a negative float x/y counts from the right/bottom edge of the parent.
    virtual void SetRelativePos(SIZE szMove, SIZE szZoom) {
        (void)szMove;
        (void)szZoom;
    }

    // Tooltip ("<n>" in the text is a line break), shortcut, menu flag.
    virtual CDuiString GetToolTip() const;
    virtual void SetToolTip(LPCTSTR text);
    virtual void SetToolTipWidth(int width);
    virtual int GetToolTipWidth() const;
    virtual TCHAR GetShortcut() const;
    virtual void SetShortcut(TCHAR ch);
    virtual bool IsContextMenuUsed() const;
    virtual void SetContextMenuUsed(bool menuUsed);

    // Free user data.
    virtual const CDuiString& GetUserData();
    virtual void SetUserData(LPCTSTR text);
    virtual UINT_PTR GetTag() const;
    virtual void SetTag(UINT_PTR tag);

    // State.
    virtual bool IsVisible() const;
    // The control's own visibility, whatever its container does (a closed combo hides its items).
    bool IsSelfVisible() const { return visible_; }
    virtual void SetVisible(bool visible = true);
    virtual void SetInternVisible(bool visible = true);  // set by the parent; no relayout
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enable = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool enable = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool enable = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool isFloat = true);

    virtual CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags);

    void Invalidate();
    bool IsUpdateNeeded() const;
    void NeedUpdate();
    void NeedParentUpdate();
    DWORD GetAdjustColor(DWORD color) { return color; }

    virtual void Init();
    virtual void DoInit();

    void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    virtual CDuiString GetAttribute(LPCTSTR name) const;
    virtual void SetAttribute(LPCTSTR name, LPCTSTR value);
    // Applies a list of name="value" pairs (as in <Default> and the *style attributes).
    CControlUI* ApplyAttributeList(LPCTSTR list);

    virtual SIZE EstimateSize(SIZE szAvailable);

    virtual void DoPaint(HDC hDC, const RECT& rcPaint);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);
    virtual void DoPostPaint(HDC hDC, const RECT& rcPaint);

    // Scales a 96-DPI value to the manager's DPI (identity without a manager).
    int DpiScale(int value) const;
    RECT DpiScale(const RECT& rc) const;

    CEventSource OnInit;
    CEventSource OnDestroy;
    CEventSource OnSize;
    CEventSource OnEvent;
    CEventSource OnNotify;

protected:
    static bool IsMouseEvent(int type) { return type > UIEVENT__MOUSEBEGIN && type < UIEVENT__MOUSEEND; }
    // A control that takes no mouse input hands mouse events to `target` (its parent unless
    // it has another owner) as if they had been aimed there; true when it did.
    bool PassMouseWhenDisabled(TEventUI& event, CControlUI* target);
    bool PassMouseWhenDisabled(TEventUI& event) { return PassMouseWhenDisabled(event, parent_); }
    // Stores a value that only changes the look (an image, a colour, a text style) and
    // repaints when it changed.
    template <class T>
    void SetLook(T& field, const T& value) {
        if (SameLook(field, value)) return;
        field = value;
        Invalidate();
    }
    void SetLook(CDuiString& field, LPCTSTR value) { SetLook(field, CDuiString(value)); }
    // Hover in and out for controls with a button-like state: sets or clears UISTATE_HOT in
    // state (entering only while enabled) and repaints when it changed. True for the
    // mouse entering and leaving, which such controls take whatever their state.
    bool TrackHotState(const TEventUI& event, UINT& state);
    // The mouse button let go over a button-like control: clears UISTATE_PUSHED and
    // UISTATE_CAPTURED and repaints; true when the control held the capture.
    bool ReleaseCapturedState(UINT& state);
    // The paint steps in order, clipped to the rounded shape when borderround is set;
    // containers paint their border after their children.
    void PaintLayers(HDC hDC, bool withBorder);

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    CDuiString virtualWnd_;
    CDuiString name_;
    bool updateNeeded_ = true;
    bool menuUsed_ = false;
    RECT rcItem_ = {};
    RECT rcPadding_ = {};  // 96-DPI units
    SIZE cXY_ = {};        // float position, 96-DPI units
    SIZE cxyFixed_ = {};   // 96-DPI units
    SIZE cxyMin_ = {};
    SIZE cxyMax_ = {9999, 9999};
    bool visible_ = true;
    bool internVisible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    bool keyboardEnabled_ = true;
    bool focused_ = false;
    bool float_ = false;
    bool setPos_ = false;  // guards re-entrant SetPos

    CDuiString text_;
    CDuiString toolTip_;
    int toolTipWidth_ = 300;
    TCHAR shortcut_ = 0;
    CDuiString userData_;
    UINT_PTR tag_ = 0;

    DWORD bkColor_ = 0;
    DWORD bkColor2_ = 0;
    DWORD bkColor3_ = 0;
    CDuiString bkImage_;
    DWORD borderColor_ = 0;
    DWORD focusBorderColor_ = 0;
    int borderSize_ = 0;  // 96-DPI units
    RECT rcBorderSize_ = {};
    bool borderPerSide_ = false;
    SIZE cxyBorderRound_ = {};
    int borderStyle_ = PS_SOLID;
    RECT rcPaint_ = {};  // the area being painted, valid during DoPaint

private:
    template <class T>
    static bool SameLook(const T& a, const T& b) {
        return a == b;
    }
    static bool SameLook(const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
    static bool SameLook(const SIZE& a, const SIZE& b) { return a.cx == b.cx && a.cy == b.cy; }
};

}  // namespace winhush::dui
