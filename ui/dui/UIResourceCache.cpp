#include "ui/dui/UIResourceCache.h"

#include <optional>

#include "ui/dui/UIManager.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui {

namespace {

// The face used when a layout names one the system does not have.
std::wstring FallbackFace() {
    NONCLIENTMETRICSW metrics = {sizeof(metrics)};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) &&
        metrics.lfMessageFont.lfFaceName[0]) {
        return metrics.lfMessageFont.lfFaceName;
    }
    return L"Tahoma";
}

int CALLBACK FaceExists(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool IsFaceInstalled(HDC dc, const std::wstring& face) {
    // Font substitutes (Wine's "Replacements", the registry's FontSubstitutes) make a face
    // usable without enumerating it; ask the mapper what it actually picked.
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(dc, &lf, FaceExists, reinterpret_cast<LPARAM>(&found), 0);
    if (found) return true;
    UniqueGdiObject font(::CreateFontIndirectW(&lf));
    wchar_t picked[LF_FACESIZE] = {};
    {
        SelectedObject selected(dc, font.get());
        ::GetTextFaceW(dc, LF_FACESIZE, picked);
    }
    return _wcsicmp(picked, face.c_str()) == 0;
}

// A Win32 resource of the given type; a numeric name is an id.
bool LoadWin32Resource(LPCTSTR name, LPCTSTR type, std::string& bytes) {
    HINSTANCE instance = CPaintManagerUI::GetInstance();
    wchar_t* end = nullptr;
    long id = wcstol(name, &end, 10);
    LPCWSTR resource = (end && *end == 0 && id > 0) ? MAKEINTRESOURCEW(id) : name;
    HRSRC res = ::FindResourceW(instance, resource, type);
    if (!res) return false;
    HGLOBAL global = ::LoadResource(instance, res);
    DWORD size = ::SizeofResource(instance, res);
    if (global && size) bytes.assign(static_cast<const char*>(::LockResource(global)), size);
    return !bytes.empty();
}

}  // namespace

CResourceCache::CResourceCache(const CPaintManagerUI& owner) : owner_(owner) {
    defaultFont_.info.sFontName = FallbackFace();
    defaultFont_.info.iSize = 12;
}

CResourceCache::~CResourceCache() = default;

void CResourceCache::OnDpiChanged() {
    Rebuild(defaultFont_);
    for (auto& font : fonts_) Rebuild(*font);
    for (auto& font : sharedLookups_) Rebuild(*font);
    // Images are cached at the scale they were picked for.
    RemoveAllImages();
}

void CResourceCache::FreeHandles() {
    RemoveAllFonts();
    defaultFont_.font.reset();
    defaultFont_.info.hFont = nullptr;
    RemoveAllImages();
}

// ---- fonts ---------------------------------------------------------------------------

std::unique_ptr<CResourceCache::FontEntry> CResourceCache::MakeEntry(LPCTSTR fontName, int size, bool bold,
                                                                     bool underline, bool italic) {
    auto entry = std::make_unique<FontEntry>();
    entry->info.sFontName = fontName ? fontName : L"";
    entry->info.iSize = size;
    entry->info.bBold = bold;
    entry->info.bUnderline = underline;
    entry->info.bItalic = italic;
    return entry;
}

void CResourceCache::Rebuild(FontEntry& entry) {
    TFontInfo& info = entry.info;
    entry.font.reset();
    info.hFont = nullptr;
    std::optional<WindowDc> screen;
    HDC dc = owner_.GetPaintDC();
    if (!dc) dc = screen.emplace(nullptr).get();
    std::wstring face = info.sFontName;
    if (face.empty() || !IsFaceInstalled(dc, face)) face = FallbackFace();
    LOGFONTW lf = {};
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -owner_.ScaleValue(info.iSize > 0 ? info.iSize : 12);
    lf.lfWeight = info.bBold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = info.bUnderline;
    lf.lfItalic = info.bItalic;
    lf.lfQuality = CLEARTYPE_QUALITY;
    entry.font.reset(::CreateFontIndirectW(&lf));
    info.hFont = static_cast<HFONT>(entry.font.get());
    SelectedObject selected(dc, info.hFont);
    ::GetTextMetricsW(dc, &info.tm);
}

TFontInfo* CResourceCache::GetDefaultFontInfo() {
    if (!defaultFont_.font) Rebuild(defaultFont_);
    return &defaultFont_.info;
}

void CResourceCache::SetDefaultFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic) {
    TFontInfo& info = defaultFont_.info;
    info.sFontName = fontName ? fontName : L"";
    info.iSize = size;
    info.bBold = bold;
    info.bUnderline = underline;
    info.bItalic = italic;
    Rebuild(defaultFont_);
}

HFONT CResourceCache::AddFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic) {
    auto entry = MakeEntry(fontName, size > 0 ? size : 12, bold, underline, italic);
    Rebuild(*entry);
    HFONT font = entry->info.hFont;
    fonts_.push_back(std::move(entry));
    return font;
}

HFONT CResourceCache::GetFont(int index) {
    if (index < 0 || index >= static_cast<int>(fonts_.size())) return GetDefaultFontInfo()->hFont;
    return fonts_[index]->info.hFont;
}

HFONT CResourceCache::GetFont(LPCTSTR fontName, int size, bool bold, bool underline, bool italic) {
    auto matches = [&](const TFontInfo& f) {
        return f.sFontName == (fontName ? fontName : L"") && f.iSize == size && f.bBold == bold &&
               f.bUnderline == underline && f.bItalic == italic;
    };
    for (auto* list : {&fonts_, &sharedLookups_}) {
        for (auto& entry : *list) {
            if (matches(entry->info)) return entry->info.hFont;
        }
    }
    auto entry = MakeEntry(fontName, size, bold, underline, italic);
    Rebuild(*entry);
    HFONT font = entry->info.hFont;
    sharedLookups_.push_back(std::move(entry));
    return font;
}

int CResourceCache::GetFontIndex(HFONT hFont) const {
    for (size_t i = 0; i < fonts_.size(); ++i) {
        if (fonts_[i]->info.hFont == hFont) return static_cast<int>(i);
    }
    return -1;
}

TFontInfo* CResourceCache::GetFontInfo(int index) {
    if (index < 0 || index >= static_cast<int>(fonts_.size())) return GetDefaultFontInfo();
    return &fonts_[index]->info;
}

TFontInfo* CResourceCache::GetFontInfo(HFONT hFont) {
    for (auto* list : {&fonts_, &sharedLookups_}) {
        for (auto& entry : *list) {
            if (entry->info.hFont == hFont) return &entry->info;
        }
    }
    return GetDefaultFontInfo();
}

void CResourceCache::RemoveAllFonts() {
    fonts_.clear();
    sharedLookups_.clear();
}

// ---- images --------------------------------------------------------------------------

const TImageInfo* CResourceCache::GetImage(LPCTSTR bitmap) const {
    if (!bitmap) return nullptr;
    auto it = images_.find(bitmap);
    return it == images_.end() ? nullptr : it->second.get();
}

const TImageInfo* CResourceCache::GetImageEx(LPCTSTR bitmap, LPCTSTR type, DWORD mask) {
    const TImageInfo* image = GetImage(bitmap);
    return image ? image : AddImage(bitmap, type, mask);
}

bool CResourceCache::LoadImageBytes(LPCTSTR bitmap, LPCTSTR type, std::string& bytes, int& scale) const {
    scale = 1;
    if (type && *type) return LoadWin32Resource(bitmap, type, bytes);
    // Artwork comes at 1x and 2x ("a.png", "a@2x.png"); take the nearer one first.
    std::wstring name = bitmap;
    std::wstring name2x;
    auto dot = name.find_last_of(L'.');
    auto slash = name.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
        name2x = name.substr(0, dot) + L"@2x" + name.substr(dot);
    }
    bool prefer2x = owner_.GetDPI() >= 144 && !name2x.empty();
    if (prefer2x && CPaintManagerUI::LoadResourceData(name2x.c_str(), bytes, false)) {
        scale = 2;
    } else if (CPaintManagerUI::LoadResourceData(bitmap, bytes, true)) {
        scale = 1;
    } else if (!name2x.empty() && CPaintManagerUI::LoadResourceData(name2x.c_str(), bytes, false)) {
        scale = 2;
    }
    return !bytes.empty();
}

const TImageInfo* CResourceCache::AddImage(LPCTSTR bitmap, LPCTSTR type, DWORD mask) {
    if (!bitmap || !*bitmap) return nullptr;
    std::string bytes;
    int scale = 1;
    if (!LoadImageBytes(bitmap, type, bytes, scale)) return nullptr;
    std::unique_ptr<TImageInfo> image(CRenderEngine::LoadImage(bytes, mask));
    if (!image) return nullptr;
    image->nScale = scale;
    image->sResType = type ? type : L"";
    image->dwMask = mask;
    auto& slot = images_[bitmap];
    slot = std::move(image);
    return slot.get();
}

bool CResourceCache::RemoveImage(LPCTSTR bitmap) { return bitmap && images_.erase(bitmap) > 0; }

void CResourceCache::RemoveAllImages() { images_.clear(); }

// ---- default attributes --------------------------------------------------------------

void CResourceCache::AddDefaultAttributeList(LPCTSTR controlName, LPCTSTR attrList) {
    if (!controlName) return;
    defaultAttrs_[controlName] = attrList ? attrList : L"";
}

LPCTSTR CResourceCache::GetDefaultAttributeList(LPCTSTR controlName) const {
    if (!controlName) return nullptr;
    auto it = defaultAttrs_.find(controlName);
    return it == defaultAttrs_.end() ? nullptr : it->second.c_str();
}

bool CResourceCache::RemoveDefaultAttributeList(LPCTSTR controlName) {
    return controlName && defaultAttrs_.erase(controlName) > 0;
}

void CResourceCache::RemoveAllDefaultAttributeList() { defaultAttrs_.clear(); }

}  // namespace winhush::dui
