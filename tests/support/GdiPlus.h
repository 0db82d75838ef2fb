// GDI+ for the tests and the shots programs. Lean Windows headers leave out what gdiplus.h
// needs, and gdiplus.h expects min and max in scope; users link gdiplus themselves.
#pragma once

#include <windows.h>
// clang-format off
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
// clang-format on

namespace winhush::test {

// GDI+ started for as long as the object lives.
class GdiPlusSession {
public:
    GdiPlusSession() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    ~GdiPlusSession() {
        if (token_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiPlusSession(const GdiPlusSession&) = delete;
    GdiPlusSession& operator=(const GdiPlusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

}  // namespace winhush::test
