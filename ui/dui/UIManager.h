// CPaintManagerUI: one per skinned window. It owns the window's control tree and its fonts,
// images and per-class default attributes (kept by a CResourceCache), lays the tree out,
// paints it double-buffered at the window's DPI, and turns window messages into control
// events and notifications.
// The static part knows where layouts and images come from: a folder or a zip archive
// held in memory.
//
// Units: layout numbers are 96-DPI units; GetPos() and every rectangle a control holds
// after layout are device pixels of the host window. The manager's DPI comes from the
// window (GetDpiForWindow) at Init and follows WM_DPICHANGED.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/Handles.h"
#include "ui/dui/UIBase.h"
#include "ui/dui/UIDefine.h"
#include "ui/dui/UIResourceCache.h"

namespace winhush::dui {

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Binds the manager to its window and takes the window DC used for measuring.
    void Init(HWND hWnd);
    void NeedUpdate();
    void Invalidate();
    void Invalidate(RECT& rcItem);

    HDC GetPaintDC() const;
    HWND GetPaintWindow() const;
    HWND GetTooltipWindow() const;
    POINT GetMousePos() const;
    SIZE GetClientSize() const;
    SIZE GetInitSize();  // pixels
    void SetInitSize(int cx, int cy);  // 96-DPI units; resizes the window before a root is attached
    RECT& GetSizeBox();  // pixels
    void SetSizeBox(RECT& rcSizeBox);  // 96-DPI units
    RECT& GetCaptionRect();  // pixels; left/right are insets, top/bottom absolute
    void SetCaptionRect(RECT& rcCaption);  // 96-DPI units
    SIZE GetRoundCorner() const;  // pixels
    void SetRoundCorner(int cx, int cy);  // 96-DPI units
    SIZE GetMinInfo() const;  // pixels, 0 = unset
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const;
    void SetMaxInfo(int cx, int cy);
    void SetTransparent(int opacity);  // whole-window alpha through WS_EX_LAYERED
    int GetTransparent() const { return opacity_; }
    void SetBackgroundTransparent(bool transparent);  // "bktrans"
    bool IsBackgroundTransparent() const { return bkTransparent_; }
    // A layered window is painted with per-pixel alpha through UpdateLayeredWindow
    // ("layered" attribute of <Window>); used for shadow frames.
    void SetLayered(bool layered);
    bool IsLayered() const { return layered_; }
    void SetShowUpdateRect(bool show) { showUpdateRect_ = show; }

    // DPI of the host window and the conversions from 96-DPI units.
    UINT GetDPI() const { return dpi_; }
    void SetDPI(UINT dpi);  // rebuilds fonts, drops images, relayouts
    int GetScale() const { return static_cast<int>(dpi_ * 100 / 96); }  // percent
    int ScaleValue(int value) const;
    RECT ScaleRect(const RECT& rc) const;
    SIZE ScaleSize(const SIZE& sz) const;

    // Resources (process wide).
    static HINSTANCE GetInstance();
    static CDuiString GetInstancePath();  // ends with '\', empty without an instance
    static CDuiString GetCurrentPath();
    static const CDuiString& GetResourcePath();
    static const CDuiString& GetResourceZip();
    static bool IsCachedResourceZip();
    static void SetInstance(HINSTANCE hInst);
    static void SetCurrentPath(LPCTSTR path);
    static void SetResourcePath(LPCTSTR path);
    // Reads resource path + name into memory; false (and no zip in use) when it cannot
    // be read or is not a zip. Without cached the file is re-read for every lookup.
    static bool SetResourceZip(LPCTSTR zipName, bool cached = false);
    static bool SetResourceZip(LPVOID data, unsigned int length);
    // Looks a layout/image name up in the zip (ASCII case ignored) or under the resource
    // path. Images fall back to the name as a plain path; layouts do not.
    static bool LoadResourceData(LPCTSTR name, std::string& data, bool plainPathFallback = false);
    static void MessageLoop();
    static bool TranslateMessage(const LPMSG pMsg);
    static void Term();

    // Default colours and fonts.
    DWORD GetDefaultDisabledColor() const { return defaultDisabledColor_; }
    void SetDefaultDisabledColor(DWORD color) { defaultDisabledColor_ = color; }
    DWORD GetDefaultFontColor() const { return defaultFontColor_; }
    void SetDefaultFontColor(DWORD color) { defaultFontColor_ = color; }
    DWORD GetDefaultLinkFontColor() const { return defaultLinkColor_; }
    void SetDefaultLinkFontColor(DWORD color) { defaultLinkColor_ = color; }
    DWORD GetDefaultLinkHoverFontColor() const { return defaultLinkHoverColor_; }
    void SetDefaultLinkHoverFontColor(DWORD color) { defaultLinkHoverColor_ = color; }
    DWORD GetDefaultSelectedBkColor() const { return defaultSelectedBkColor_; }
    void SetDefaultSelectedBkColor(DWORD color) { defaultSelectedBkColor_ = color; }
    TFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);

    // Fonts are numbered by declaration order, 0-based; -1 or an unknown index is the default.
    DWORD GetCustomFontCount() const { return resources_.GetCustomFontCount(); }
    HFONT AddFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);
    HFONT GetFont(int index);
    HFONT GetFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);
    int GetFontIndex(HFONT hFont);
    TFontInfo* GetFontInfo(int index);
    TFontInfo* GetFontInfo(HFONT hFont);
    void RemoveAllFonts();

    // Image cache keyed by the exact name; the first load wins.
    const TImageInfo* GetImage(LPCTSTR bitmap);
    const TImageInfo* GetImageEx(LPCTSTR bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    const TImageInfo* AddImage(LPCTSTR bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    bool RemoveImage(LPCTSTR bitmap);
    void RemoveAllImages();

    void AddDefaultAttributeList(LPCTSTR controlName, LPCTSTR attrList);
    LPCTSTR GetDefaultAttributeList(LPCTSTR controlName) const;
    bool RemoveDefaultAttributeList(LPCTSTR controlName);
    void RemoveAllDefaultAttributeList();

    // Tree.
    bool AttachDialog(CControlUI* pControl);
    bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
    void ReapObjects(CControlUI* pControl);
    bool AddOptionGroup(LPCTSTR groupName, CControlUI* pControl);
    CDuiPtrArray* GetOptionGroup(LPCTSTR groupName);
    void RemoveOptionGroup(LPCTSTR groupName, CControlUI* pControl);
    void RemoveAllOptionGroups();
    CControlUI* GetRoot() const { return root_; }
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindControl(LPCTSTR name) const;
    CControlUI* FindSubControlByPoint(CControlUI* pParent, POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR name) const;
    CControlUI* FindSubControlByClass(CControlUI* pParent, LPCTSTR className, int index = 0);
    void AddDelayedCleanup(CControlUI* pControl);
    // Controls painted after the tree (drag images, drop lists drawn in place).
    bool AddPostPaint(CControlUI* pControl);
    bool RemovePostPaint(CControlUI* pControl);

    // Focus, capture, timers.
    CControlUI* GetFocus() const { return focus_; }
    void SetFocus(CControlUI* pControl);
    void SetFocusNeeded(CControlUI* pControl);
    bool SetNextTabControl(bool forward = true);
    bool SetTimer(CControlUI* pControl, UINT timerId, UINT elapse);
    bool KillTimer(CControlUI* pControl, UINT timerId);
    void KillTimer(CControlUI* pControl);
    void RemoveAllTimers();
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return mouseCapture_; }
    CControlUI* GetHoverControl() const { return eventHover_; }
    CControlUI* GetClickControl() const { return eventClick_; }

    // Notifications and filters.
    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    void SendNotify(TNotifyUI& msg, bool async = false);
    void SendNotify(CControlUI* pControl, LPCTSTR message, WPARAM wParam = 0, LPARAM lParam = 0, bool async = false);
    bool AddPreMessageFilter(IMessageFilterUI* pFilter);
    bool RemovePreMessageFilter(IMessageFilterUI* pFilter);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);
    bool AddTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator);
    bool TranslateAccelerator(LPMSG pMsg);

    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // Lays the tree out for the current client size (if needed) and paints rcPaint of it
    // into hdc at client coordinates. WM_PAINT uses this into its back buffer; tests and
    // screenshots use it into a memory DC.
    void PaintTo(HDC hdc, const RECT& rcPaint);
    // Runs any pending layout now (WM_PAINT does this too); sends "windowinit" the first time.
    void UpdateLayout();

private:
    struct TimerInfo {
        CControlUI* sender;
        UINT localId;
        UINT_PTR winTimer;
        bool killed;
    };

    static CControlUI* CALLBACK FindControlFromNameHash(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromCount(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromPoint(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromTab(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromShortcut(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromUpdate(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromName(CControlUI* pThis, LPVOID pData);
    static CControlUI* CALLBACK FindControlFromClass(CControlUI* pThis, LPVOID pData);

    // Called by a control being deleted: ReapObjects, and the root pointer too.
    void ForgetControl(CControlUI* pControl);
    void ApplyDpiToWindowData();
    bool DeliverNotify(TNotifyUI& msg);  // false when the sender's OnNotify stopped it
    void DeliverAsyncNotify();
    static bool RunFilters(const std::vector<IMessageFilterUI*>& filters, UINT uMsg, WPARAM wParam, LPARAM lParam,
                           LRESULT& lRes);

    // One handler per message or family; true when the message is handled.
    bool OnClose();
    bool OnPaintMessage(UINT uMsg, WPARAM wParam, LRESULT& lRes);
    bool OnSize(WPARAM wParam, LPARAM lParam);
    bool OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool OnGetMinMaxInfo(LPARAM lParam);
    bool OnTimer(WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool OnMouseHover(WPARAM wParam, LPARAM lParam);
    bool OnMouseLeave();
    bool OnMouseMove(WPARAM wParam, LPARAM lParam);
    bool OnLeftButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool OnLeftButtonUp(WPARAM wParam, LPARAM lParam);
    bool OnRightButtonDown(WPARAM wParam, LPARAM lParam);
    bool OnContextMenu(LPARAM lParam);
    bool OnMouseWheel(WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool OnKey(UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool ReflectToChild(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // The control under pt, if it belongs to this manager (not a hosted manager's).
    CControlUI* OwnControlAt(POINT pt) const;

    void PaintWindow();
    void PaintLayered();
    void FlushDelayedCleanup();
    void UpdateToolTip(bool show);
    TEventUI MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0);

    HWND hwnd_ = nullptr;
    std::optional<WindowDc> paintDc_;  // the window's DC, for measuring
    HWND tooltip_ = nullptr;
    TOOLINFOW toolTipInfo_ = {};
    bool tooltipShown_ = false;
    UINT dpi_ = 96;

    // Window data in 96-DPI units, and the same in pixels for the getters.
    SIZE initSize96_ = {}, minInfo96_ = {}, maxInfo96_ = {}, roundCorner96_ = {};
    RECT sizeBox96_ = {}, caption96_ = {};
    SIZE initSize_ = {}, minInfo_ = {}, maxInfo_ = {}, roundCorner_ = {};
    RECT sizeBox_ = {}, caption_ = {};
    int opacity_ = 255;
    bool bkTransparent_ = false;
    bool layered_ = false;
    bool showUpdateRect_ = false;

    CControlUI* root_ = nullptr;
    CControlUI* focus_ = nullptr;
    CControlUI* eventHover_ = nullptr;
    CControlUI* eventClick_ = nullptr;
    CControlUI* eventKey_ = nullptr;
    POINT lastMouse_ = {-1, -1};
    bool mouseTracking_ = false;
    bool mouseCapture_ = false;
    bool updateNeeded_ = false;
    bool firstLayout_ = true;
    bool focusNeeded_ = false;
    bool offscreenPaint_ = true;
    bool inPaint_ = false;

    DWORD defaultDisabledColor_ = 0xFFA7A6AA;
    DWORD defaultFontColor_ = 0xFF000000;
    DWORD defaultLinkColor_ = 0xFF0000FF;
    DWORD defaultLinkHoverColor_ = 0xFFD3215F;
    DWORD defaultSelectedBkColor_ = 0xFFBAE4FF;
    CResourceCache resources_{*this};
    std::map<std::wstring, CControlUI*> names_;
    std::map<std::wstring, CDuiPtrArray> optionGroups_;
    std::vector<TimerInfo> timers_;
    UINT_PTR nextTimerId_ = 0x1000;
    std::vector<INotifyUI*> notifiers_;
    std::vector<IMessageFilterUI*> preFilters_;
    std::vector<IMessageFilterUI*> filters_;
    std::vector<ITranslateAccelerator*> accelerators_;
    std::vector<CControlUI*> delayedCleanup_;
    std::vector<CControlUI*> postPaint_;
    std::vector<TNotifyUI> asyncNotify_;

    friend class CControlUI;
};

}  // namespace winhush::dui
