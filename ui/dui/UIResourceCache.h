// CResourceCache: the fonts, images and per-class default attributes of one paint
// manager. Fonts and images follow the manager's DPI: fonts are rebuilt at the new scale,
// images are dropped and picked again (1x or 2x artwork) on their next use.
//
// The cache owns every GDI handle it hands out; the HFONT of a TFontInfo and the bitmap of
// a TImageInfo stay valid until the entry is removed, rebuilt or the cache goes away.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Handles.h"
#include "ui/dui/UIBase.h"

namespace winhush::dui {

class CPaintManagerUI;

struct TFontInfo {
    HFONT hFont = nullptr;  // owned by the cache that handed the info out
    CDuiString sFontName;
    int iSize = 12;  // pixel height in 96-DPI units
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    TEXTMETRICW tm = {};
};

struct TImageInfo {
    UniqueHBitmap hBitmap;  // 32-bit top-down DIB section, premultiplied alpha
    LPBYTE pBits = nullptr;
    int nX = 0;  // pixel size of the bitmap actually loaded
    int nY = 0;
    int nScale = 1;             // 2 when the "@2x" artwork was loaded
    bool alphaChannel = false;  // some pixel is not opaque
    CDuiString sResType;
    DWORD dwMask = 0;
};

class CResourceCache {
public:
    // The owner gives the scale, the DC fonts are measured with and the resource lookup.
    explicit CResourceCache(const CPaintManagerUI& owner);
    ~CResourceCache();
    CResourceCache(const CResourceCache&) = delete;
    CResourceCache& operator=(const CResourceCache&) = delete;

    // Rebuilds every font at the owner's current DPI and drops the images.
    void OnDpiChanged();
    // Frees every font (the default one too) and image; default attributes stay.
    void FreeHandles();

    TFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);
    DWORD GetCustomFontCount() const { return static_cast<DWORD>(fonts_.size()); }
    HFONT AddFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);
    HFONT GetFont(int index);
    HFONT GetFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);
    int GetFontIndex(HFONT hFont) const;
    TFontInfo* GetFontInfo(int index);
    TFontInfo* GetFontInfo(HFONT hFont);
    void RemoveAllFonts();

    const TImageInfo* GetImage(LPCTSTR bitmap) const;
    const TImageInfo* GetImageEx(LPCTSTR bitmap, LPCTSTR type, DWORD mask);
    const TImageInfo* AddImage(LPCTSTR bitmap, LPCTSTR type, DWORD mask);
    bool RemoveImage(LPCTSTR bitmap);
    void RemoveAllImages();

    void AddDefaultAttributeList(LPCTSTR controlName, LPCTSTR attrList);
    LPCTSTR GetDefaultAttributeList(LPCTSTR controlName) const;
    bool RemoveDefaultAttributeList(LPCTSTR controlName);
    void RemoveAllDefaultAttributeList();

private:
    // The info handed out and the owner of its HFONT.
    struct FontEntry {
        TFontInfo info;
        UniqueGdiObject font;
    };

    static std::unique_ptr<FontEntry> MakeEntry(LPCTSTR fontName, int size, bool bold, bool underline, bool italic);
    void Rebuild(FontEntry& entry);
    bool LoadImageBytes(LPCTSTR bitmap, LPCTSTR type, std::string& bytes, int& scale) const;

    const CPaintManagerUI& owner_;
    FontEntry defaultFont_;
    std::vector<std::unique_ptr<FontEntry>> fonts_;
    std::vector<std::unique_ptr<FontEntry>> sharedLookups_;  // fonts asked for by face/size
    std::map<std::wstring, std::unique_ptr<TImageInfo>> images_;
    std::map<std::wstring, std::wstring> defaultAttrs_;
};

}  // namespace winhush::dui
