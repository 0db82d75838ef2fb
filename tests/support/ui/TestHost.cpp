#include "UiTestSupport.h"

#include "GdiPlus.h"

namespace winhush::test {

using namespace winhush::dui;

void NotifyRecorder::Notify(TNotifyUI& msg) {
    events.push_back({msg.sType, msg.pSender ? std::wstring(msg.pSender->GetName()) : L"", msg.wParam, msg.lParam});
}

std::vector<std::wstring> NotifyRecorder::Sequence(const std::vector<std::wstring>& skip) const {
    std::vector<std::wstring> out;
    for (const auto& e : events) {
        bool skipped = false;
        for (const auto& s : skip) skipped = skipped || e.type == s;
        if (!skipped) out.push_back(e.type + L":" + e.sender);
    }
    return out;
}

std::vector<Notification> NotifyRecorder::Of(const std::wstring& type) const {
    std::vector<Notification> out;
    for (const auto& e : events) {
        if (e.type == type) out.push_back(e);
    }
    return out;
}

namespace {
constexpr const wchar_t* kHostClass = L"WinhushUiTestHost";

void RegisterHostClass(WNDPROC proc) {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kHostClass;
    ::RegisterClassExW(&wc);
    done = true;
}

LPARAM At(POINT pt) { return MAKELPARAM(pt.x, pt.y); }
}  // namespace

TestHost::TestHost(int width, int height, bool show) {
    RegisterHostClass(WndProc);
    hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kHostClass, L"ui test", WS_POPUP | WS_CLIPCHILDREN, 40, 40, width,
                              height, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    manager_.Init(hwnd_);
    if (show) {
        ::ShowWindow(hwnd_, SW_SHOWNORMAL);
        ::SetForegroundWindow(hwnd_);
    }
}

TestHost::~TestHost() {
    if (manager_.GetRoot()) manager_.ReapObjects(manager_.GetRoot());
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK TestHost::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* host = TestWindowObject<TestHost>(hwnd, msg, lParam);
    if (host && host->manager_.GetPaintWindow() == hwnd) {
        LRESULT result = 0;
        if (host->manager_.MessageHandler(msg, wParam, lParam, result)) return result;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

CControlUI* TestHost::Load(const std::wstring& xml, IDialogBuilderCallback* callback) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(xml.c_str(), nullptr, callback, &manager_, nullptr);
    if (!root) return nullptr;
    manager_.AttachDialog(root);
    manager_.AddNotifier(this);
    Layout();
    return root;
}

CContainerUI* TestHost::LoadScrollBox(const std::wstring& children, const std::wstring& bars) {
    CControlUI* root = Load(L"<Window><VerticalLayout name=\"box\" " + bars + L">" + children + L"</VerticalLayout></Window>");
    return root ? static_cast<CContainerUI*>(Find(L"box")) : nullptr;
}

CComboUI* TestHost::LoadCombo(const std::wstring& items, const std::wstring& attributes) {
    CControlUI* root = Load(L"<Window><VerticalLayout><Combo name=\"combo\" " + attributes + L">" + items +
                            L"</Combo><Control/></VerticalLayout></Window>");
    return root ? static_cast<CComboUI*>(Find(L"combo")) : nullptr;
}

void TestHost::Layout() {
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    ::UpdateWindow(hwnd_);
    manager_.UpdateLayout();
}

void TestHost::Notify(TNotifyUI& msg) {
    recorder_.Notify(msg);
    if (onNotify) onNotify(msg);
}

void TestHost::MouseMove(POINT pt) { ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, At(pt)); }

void TestHost::MouseDown(POINT pt) {
    MouseMove(pt);
    ::SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, At(pt));
}

void TestHost::MouseUp(POINT pt) { ::SendMessageW(hwnd_, WM_LBUTTONUP, 0, At(pt)); }

void TestHost::Click(POINT pt) {
    MouseDown(pt);
    MouseUp(pt);
}

void TestHost::Wheel(POINT pt, bool up) {
    MouseMove(pt);
    WheelAt(pt, up);
}

void TestHost::WheelAt(POINT pt, bool up) {
    POINT screen = pt;
    ::ClientToScreen(hwnd_, &screen);
    ::SendMessageW(hwnd_, WM_MOUSEWHEEL, MAKEWPARAM(0, up ? WHEEL_DELTA : -WHEEL_DELTA),
                   MAKELPARAM(screen.x, screen.y));
}

void TestHost::Key(UINT vk) {
    ::SendMessageW(hwnd_, WM_KEYDOWN, vk, 0);
    ::SendMessageW(hwnd_, WM_KEYUP, vk, 0);
}

POINT CentreOf(CControlUI* control) {
    const RECT& rc = control->GetPos();
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

Canvas::Canvas(int width, int height, COLORREF fill) : surface_(width, height) {
    DWORD value = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    uint32_t* pixels = surface_.pixels();
    for (int i = 0; pixels && i < width * height; ++i) pixels[i] = value;
}

DWORD Canvas::At(int x, int y) const {
    ::GdiFlush();
    return surface_.pixels()[y * width() + x] & 0x00FFFFFF;
}

void Canvas::PaintFrom(CPaintManagerUI& manager) {
    RECT all = {0, 0, width(), height()};
    manager.PaintTo(dc(), all);
    ::GdiFlush();
}

bool WritePng(const std::wstring& path, int width, int height, const std::function<DWORD(int x, int y)>& colourAt) {
    GdiPlusSession gdiplus;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(colourAt(x, y)));
    }
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, L"image/png") == 0)
            return bitmap.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
    return false;
}

bool WriteStrip(const std::wstring& path, int frameWidth, int height, const std::vector<DWORD>& colours) {
    int width = frameWidth * static_cast<int>(colours.size());
    return WritePng(path, width, height, [&](int x, int) { return colours[x / frameWidth]; });
}

}  // namespace winhush::test
