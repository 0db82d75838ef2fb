// Value types shared by the whole engine: a wide string with the helpers the controls and
// their users expect, rectangles and sizes that stay plain Win32 structures (so they can
// be handed to GDI directly), and an untyped pointer array used for option groups and
// control lists. Everything here is free of any window or manager state.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winhush::dui {

class CDuiString : public std::wstring {
public:
    CDuiString() = default;
    CDuiString(const wchar_t* text) : std::wstring(text ? text : L"") {}
    CDuiString(const wchar_t* text, int length) : std::wstring(text ? text : L"", text && length >= 0 ? length : 0) {}
    CDuiString(const std::wstring& text) : std::wstring(text) {}
    CDuiString(std::wstring&& text) : std::wstring(std::move(text)) {}
    CDuiString(wchar_t ch) : std::wstring(1, ch) {}

    bool IsEmpty() const { return empty(); }
    void Empty() { clear(); }
    int GetLength() const { return static_cast<int>(size()); }
    const wchar_t* GetData() const { return c_str(); }
    wchar_t GetAt(int index) const { return index >= 0 && index < GetLength() ? (*this)[index] : L'\0'; }

    // printf-style; a result longer than 64 KiB is cut rather than refused.
    int Format(const wchar_t* format, ...);
    int Compare(const wchar_t* other) const;
    int CompareNoCase(const wchar_t* other) const;
    void MakeUpper();
    void MakeLower();
    // Left/Mid/Right clamp to the string; Find/ReverseFind give -1 when absent.
    CDuiString Left(int length) const;
    CDuiString Mid(int start, int length = -1) const;
    CDuiString Right(int length) const;
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* text, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int Replace(const wchar_t* from, const wchar_t* to);
};

class CDuiRect : public RECT {
public:
    CDuiRect() { left = top = right = bottom = 0; }
    CDuiRect(const RECT& rc) { left = rc.left; top = rc.top; right = rc.right; bottom = rc.bottom; }
    CDuiRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }

    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    bool IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    void Empty() { left = top = right = bottom = 0; }
    void Join(const RECT& rc);
    void ResetOffset() { Offset(-left, -top); }
    void Normalize();
    void Offset(int cx, int cy) { left += cx; right += cx; top += cy; bottom += cy; }
    void Inflate(int cx, int cy) { left -= cx; right += cx; top -= cy; bottom += cy; }
    void Deflate(int cx, int cy) { Inflate(-cx, -cy); }
    void Union(const RECT& rc) { ::UnionRect(this, this, &rc); }
};

class CDuiSize : public SIZE {
public:
    CDuiSize() { cx = cy = 0; }
    CDuiSize(const SIZE& sz) { cx = sz.cx; cy = sz.cy; }
    CDuiSize(const RECT& rc) { cx = rc.right - rc.left; cy = rc.bottom - rc.top; }
    CDuiSize(int x, int y) { cx = x; cy = y; }
};

// Holds pointers it does not own: Remove frees nothing.
class CDuiPtrArray {
public:
    explicit CDuiPtrArray(int preallocate = 0) { items_.reserve(preallocate > 0 ? preallocate : 0); }

    void Empty() { items_.clear(); }
    void Resize(int size);
    bool IsEmpty() const { return items_.empty(); }
    int Find(void* item) const;
    bool Add(void* item);
    bool SetAt(int index, void* item);
    bool InsertAt(int index, void* item);
    bool Remove(int index, int count = 1);
    int GetSize() const { return static_cast<int>(items_.size()); }
    void* GetAt(int index) const { return index >= 0 && index < GetSize() ? items_[index] : nullptr; }
    void* operator[](int index) const { return GetAt(index); }
    void** GetData() { return items_.data(); }

private:
    std::vector<void*> items_;
};

}  // namespace winhush::dui
