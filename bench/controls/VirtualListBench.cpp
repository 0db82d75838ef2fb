// Times the virtual list with 100,000 items in a real window: giving it the item count,
// scrolling line by line (wheel) and by jumps (thumb drags) with a full repaint of the list
// after each step, and what the process holds in private memory before and after. Rows are
// 56 pixels high with a name, a count, a switch and a remove button, filled from owned data.
//
//   controls_bench.exe [items]      (default 100000)
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/DibSurface.h"
#include "ui/controls/ControlFactory.h"
#include "ui/controls/VirtualList.h"
#include "ui/dui/UIlib.h"

using namespace winhush::dui;
using namespace winhush::ui;
using winhush::DibSurface;

namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 600;

const wchar_t* const kRowTemplate =
    L"<ListContainerElement height=\"56\"><HorizontalLayout inset=\"16,0,16,0\" childpadding=\"8\">"
    L"<Label name=\"lab_name\" endellipsis=\"true\"/><Label name=\"lab_count\" width=\"60\" align=\"right\"/>"
    L"<SlideOption name=\"opt_switch\" width=\"44\" text0=\"off\" text1=\"on\"/>"
    L"<Button name=\"btn_remove\" width=\"28\" text=\"x\"/></HorizontalLayout></ListContainerElement>";

class Data : public IVListCallbackUI {
public:
    explicit Data(int count) {
        names.reserve(count);
        for (int i = 0; i < count; ++i) names.push_back(L"Pop-up window of program " + std::to_wstring(i));
    }
    void FillRow(CControlUI* row, int index) override {
        ++fills;
        CPaintManagerUI* pm = row->GetManager();
        pm->FindSubControlByName(row, L"lab_name")->SetText(names[index].c_str());
        pm->FindSubControlByName(row, L"lab_count")->SetText(std::to_wstring(index % 1000).c_str());
        static_cast<COptionUI*>(pm->FindSubControlByName(row, L"opt_switch"))->Selected(index % 3 != 0, false);
    }
    std::vector<std::wstring> names;
    long long fills = 0;
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* pm = reinterpret_cast<CPaintManagerUI*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (pm && pm->MessageHandler(msg, wParam, lParam, result)) return result;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

double PrivateMegabytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {sizeof(counters)};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof(counters));
    // Wine leaves PrivateUsage at 0; the commit charge is the same figure there.
    SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return bytes / (1024.0 * 1024.0);
}

struct Stats {
    double median = 0, p95 = 0, max = 0, total = 0;
};
Stats Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Stats s;
    for (double v : ms) s.total += v;
    s.median = ms[ms.size() / 2];
    s.p95 = ms[ms.size() * 95 / 100];
    s.max = ms.back();
    return s;
}
void Print(const char* what, size_t steps, const Stats& s) {
    std::printf("%-44s %5zu steps  median %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", what, steps, s.median, s.p95, s.max);
}

HWND CreateHostWindow() {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"WinhushControlsBench";
    ::RegisterClassExW(&wc);
    return ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"bench", WS_POPUP, 20, 20, kWidth, kHeight,
                             nullptr, nullptr, wc.hInstance, nullptr);
}

// Lines, random jumps and pages, each with a full repaint; returns the largest row pool seen.
template <class Paint>
int MeasureScrolling(CVListUI* list, const Paint& paint) {
    auto timeSteps = [&](int steps, auto&& step) {
        std::vector<double> ms;
        for (int i = 0; i < steps; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            step(i);
            paint();
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        return ms;
    };
    int largestPool = list->GetCount();
    auto lines = timeSteps(2000, [&](int) {
        list->LineDown();
        largestPool = std::max(largestPool, list->GetCount());
    });
    Print("wheel line down + repaint", lines.size(), Summarise(lines));
    std::mt19937 random(7);
    int range = list->GetScrollRange().cy;
    auto jumps = timeSteps(500, [&](int) {
        list->SetScrollPos({0, static_cast<int>(random() % (range + 1))});
        largestPool = std::max(largestPool, list->GetCount());
    });
    Print("jump to a random position + repaint", jumps.size(), Summarise(jumps));
    auto pages = timeSteps(500, [&](int i) { i % 2 ? list->PageUp() : list->PageDown(); });
    Print("page down/up + repaint", pages.size(), Summarise(pages));
    return largestPool;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int items = argc > 1 ? _wtoi(argv[1]) : 100000;
    if (items <= 0) items = 100000;
    CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));

    HWND hwnd = CreateHostWindow();
    double memoryAtStart = PrivateMegabytes();
    {
        CPaintManagerUI pm;
        pm.Init(hwnd);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pm));
        CControlFactory factory;
        CDialogBuilder builder;
        CControlUI* root = builder.Create(
            L"<Window><VerticalLayout bkcolor=\"#FFFFFFFF\"><VirtualList "
            L"name=\"list_block\"/></VerticalLayout></Window>",
            nullptr, &factory, &pm, nullptr);
        if (!root) {
            std::printf("layout failed\n");
            return 1;
        }
        pm.AttachDialog(root);
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(hwnd);
        auto* list = static_cast<CVListUI*>(pm.FindControl(L"list_block"));
        Data data(items);
        list->SetCallback(&data);
        list->SetBuilderCallback(&factory);
        list->SetItemXml(kRowTemplate);
        double memoryWithData = PrivateMegabytes();

        DibSurface surface(kWidth, kHeight);
        HDC dc = surface.hdc();
        RECT all = {0, 0, kWidth, kHeight};
        auto paint = [&] {
            pm.PaintTo(dc, all);
            ::GdiFlush();
        };

        auto start = std::chrono::steady_clock::now();
        list->SetItemCount(items);
        paint();
        double firstMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("items %d, rows in the pool %d, first count and paint %.1f ms\n", items, list->GetCount(), firstMs);

        const int largestPool = MeasureScrolling(list, paint);
        list->EndDown();
        paint();
        std::printf("at the end: top index %d, rows %d, largest pool %d, rows filled in all %lld\n",
                    list->GetBody()->GetTopIndex(), list->GetCount(), largestPool, data.fills);
        std::printf("private memory: %.1f MB at start, %.1f MB with the data, %.1f MB after scrolling\n", memoryAtStart,
                    memoryWithData, PrivateMegabytes());

        pm.ReapObjects(pm.GetRoot());
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    ::DestroyWindow(hwnd);
    return 0;
}
