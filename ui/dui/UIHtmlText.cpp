#include "ui/dui/UIHtmlText.h"

#include <algorithm>
#include <climits>

#include "base/Handles.h"
#include "ui/dui/UIManager.h"
#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui::detail {

namespace {

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

bool IsKnownTag(const std::wstring& name) {
    static const wchar_t* const kTags[] = {L"b", L"i", L"u", L"s", L"c", L"f", L"a", L"n", L"p", L"r", L"x", L"y"};
    return std::any_of(std::begin(kTags), std::end(kTags), [&](const wchar_t* tag) { return name == tag; });
}

// What a tag changes; <b> and the like push a copy, any closing tag pops the last one.
struct HtmlState {
    std::wstring face;
    int size;
    bool bold, italic, underline;
    DWORD color;
    int link;
    bool selected;
};

class HtmlParser {
public:
    HtmlParser(CPaintManagerUI& manager, DWORD textColor) : manager_(manager) {
        TFontInfo* base = manager.GetDefaultFontInfo();
        state_ = {base->sFontName, base->iSize, base->bBold, base->bItalic, base->bUnderline, textColor, -1, false};
    }

    HtmlMarkup Parse(const wchar_t* p) {
        while (*p) {
            const wchar_t* next = ReadTag(p);
            if (next) {
                p = next;
            } else {
                pending_.push_back(*p++);
            }
        }
        Flush();
        return std::move(markup_);
    }

private:
    // Consumes a known tag at p and answers where the text goes on; null when p opens none.
    const wchar_t* ReadTag(const wchar_t* p) {
        wchar_t open = *p;
        if (open != L'<' && open != L'{') return nullptr;
        wchar_t close = open == L'<' ? L'>' : L'}';
        const wchar_t* end = wcschr(p + 1, close);
        if (!end) return nullptr;
        std::wstring tag(p + 1, end);
        bool closing = !tag.empty() && tag[0] == L'/';
        if (closing) tag.erase(0, 1);
        size_t space = tag.find(L' ');
        std::wstring name = tag.substr(0, space);
        std::wstring arg = space == std::wstring::npos ? std::wstring() : Trim(tag.substr(space + 1));
        if (!IsKnownTag(name)) return nullptr;
        Flush();
        if (name == L"r" && !closing) return ReadRaw(end + 1, open, close);
        Apply(name, arg, closing);
        return end + 1;
    }

    // Raw text runs to the closing tag written with the same brackets, or to the end; it
    // stays pending, so text after the closing tag joins its run.
    const wchar_t* ReadRaw(const wchar_t* p, wchar_t open, wchar_t close) {
        const std::wstring closeTag = {open, L'/', L'r', close};
        const wchar_t* rawEnd = wcsstr(p, closeTag.c_str());
        const wchar_t* stop = rawEnd ? rawEnd : p + wcslen(p);
        pending_.assign(p, stop);
        return rawEnd ? rawEnd + closeTag.size() : stop;
    }

    void Apply(const std::wstring& name, const std::wstring& arg, bool closing) {
        if (name == L"n" || (name == L"p" && !closing)) {
            pendingNewline_ = true;
            return;
        }
        if (name == L"p" || name == L"y") return;
        if (name == L"x") {
            int value = 0;
            ParseInt(arg.c_str(), value);
            pendingIndent_ += manager_.ScaleValue(value);
            return;
        }
        if (closing) {
            if (!stack_.empty()) {
                state_ = stack_.back();
                stack_.pop_back();
            }
            return;
        }
        stack_.push_back(state_);
        if (name == L"b") state_.bold = true;
        if (name == L"i") state_.italic = true;
        if (name == L"u") state_.underline = true;
        if (name == L"s") state_.selected = true;
        if (name == L"c") ApplyColor(arg);
        if (name == L"f") ApplyFont(arg);
        if (name == L"a") {
            state_.link = static_cast<int>(markup_.targets.size());
            markup_.targets.push_back(arg);
            state_.color = manager_.GetDefaultLinkFontColor();
            state_.underline = true;
        }
    }

    void ApplyColor(const std::wstring& arg) {
        DWORD color;
        if (!ParseColor(arg.c_str(), color)) return;
        if ((color >> 24) == 0) color |= 0xFF000000;  // #RRGGBB means opaque
        state_.color = color;
    }

    // <f n> takes the layout's font n whole; <f face size bold italic underline> changes
    // the face and whatever else it names.
    void ApplyFont(const std::wstring& arg) {
        int index;
        if (ParseInt(arg.c_str(), index)) {
            TFontInfo* info = manager_.GetFontInfo(index);
            state_.face = info->sFontName;
            state_.size = info->iSize;
            state_.bold = info->bBold;
            state_.italic = info->bItalic;
            state_.underline = info->bUnderline;
            return;
        }
        if (arg.empty()) return;
        std::wstring face = arg;
        size_t sp = face.find(L' ');
        if (sp != std::wstring::npos) {
            std::wstring rest = face.substr(sp + 1);
            face = face.substr(0, sp);
            int size;
            if (ParseInt(rest.substr(0, rest.find(L' ')).c_str(), size)) state_.size = size;
            if (rest.find(L"bold") != std::wstring::npos) state_.bold = true;
            if (rest.find(L"italic") != std::wstring::npos) state_.italic = true;
            if (rest.find(L"underline") != std::wstring::npos) state_.underline = true;
        }
        state_.face = face;
    }

    void Flush() {
        if (pending_.empty()) return;
        HFONT font = manager_.GetFont(state_.face.c_str(), state_.size, state_.bold, state_.underline, state_.italic);
        markup_.runs.push_back(
            {pending_, font, state_.color, state_.link, state_.selected, pendingNewline_, pendingIndent_});
        pending_.clear();
        pendingNewline_ = false;
        pendingIndent_ = 0;
    }

    CPaintManagerUI& manager_;
    HtmlState state_;
    std::vector<HtmlState> stack_;
    HtmlMarkup markup_;
    std::wstring pending_;
    bool pendingNewline_ = false;
    int pendingIndent_ = 0;
};

// Fills lines with measured pieces; pieces' x are relative to their line until Place.
class LineBreaker {
public:
    LineBreaker(HDC hDC, int maxWidth, bool singleLine) : dc_(hDC), maxWidth_(maxWidth), singleLine_(singleLine) {}

    void Add(const HtmlRun& run, size_t index) {
        if (run.newline && !singleLine_) lines_.emplace_back();
        HtmlLine* line = &lines_.back();
        line->width += run.indentX;
        int ascent = Metrics(*line, run.font);
        size_t start = 0;
        while (start < run.text.size()) {
            std::wstring rest = run.text.substr(start);
            int fit = Fit(rest, maxWidth_ - line->width, line->pieces.empty());
            if (fit > 0) {
                std::wstring piece = rest.substr(0, fit);
                SIZE size = {};
                ::GetTextExtentPoint32W(dc_, piece.c_str(), static_cast<int>(piece.size()), &size);
                line->pieces.push_back({piece, index, {line->width, 0, line->width + size.cx, 0}, ascent});
                line->width += size.cx;
                start += fit;
            }
            if (start < run.text.size()) {
                lines_.emplace_back();
                line = &lines_.back();
                Metrics(*line, run.font);
            }
        }
    }

    std::vector<HtmlLine> Finish(HFONT baseFont) {
        for (auto& line : lines_) {
            if (line.height == 0) Metrics(line, baseFont);
        }
        return std::move(lines_);
    }

private:
    // Grows the line to the font's height and ascent; answers the font's ascent (the font
    // stays selected for the measuring that follows).
    int Metrics(HtmlLine& line, HFONT font) {
        ::SelectObject(dc_, font);
        TEXTMETRICW tm;
        ::GetTextMetricsW(dc_, &tm);
        line.height = std::max(line.height, static_cast<int>(tm.tmHeight));
        line.ascent = std::max(line.ascent, static_cast<int>(tm.tmAscent));
        return tm.tmAscent;
    }

    // As many characters as the room allows: CJK text breaks anywhere, Latin text at the
    // last blank when there is one; an empty line takes at least one character.
    int Fit(const std::wstring& rest, int available, bool lineEmpty) {
        int fit = 0;
        SIZE extent = {};
        ::GetTextExtentExPointW(dc_, rest.c_str(), static_cast<int>(rest.size()), std::max(available, 0), &fit, nullptr,
                                &extent);
        if (singleLine_) fit = static_cast<int>(rest.size());
        if (fit < static_cast<int>(rest.size())) {
            size_t blank = rest.find_last_of(L' ', fit);
            if (blank != std::wstring::npos && blank > 0 && rest[fit] < 0x2E80) fit = static_cast<int>(blank) + 1;
            if (fit == 0 && lineEmpty) fit = 1;
        }
        return fit;
    }

    HDC dc_;
    int maxWidth_;
    bool singleLine_;
    std::vector<HtmlLine> lines_ = std::vector<HtmlLine>(1);
};

// Moves the pieces from line-relative x and a font ascent to their place in rc.
void Place(HtmlLayout& layout, const RECT& rc, UINT style) {
    int y = rc.top;
    if (style & DT_VCENTER) y = rc.top + (rc.bottom - rc.top - layout.height) / 2;
    if (style & DT_BOTTOM) y = rc.bottom - layout.height;
    for (auto& line : layout.lines) {
        int x = rc.left;
        if (style & DT_CENTER) x = rc.left + (rc.right - rc.left - line.width) / 2;
        if (style & DT_RIGHT) x = rc.right - line.width;
        for (auto& piece : line.pieces) {
            piece.area = {x + piece.area.left, y, x + piece.area.right, y + line.height};
            piece.top = y + line.ascent - piece.top;
        }
        y += line.height;
    }
}

}  // namespace

HtmlMarkup ParseHtmlText(CPaintManagerUI& manager, const wchar_t* text, DWORD textColor) {
    if (!text) return {};
    return HtmlParser(manager, textColor).Parse(text);
}

HtmlLayout LayoutHtmlText(HDC hDC, const HtmlMarkup& markup, HFONT baseFont, const RECT& rc, UINT style) {
    bool singleLine = (style & DT_SINGLELINE) != 0;
    int maxWidth = singleLine ? INT_MAX : std::max(1, static_cast<int>(rc.right - rc.left));
    HtmlLayout layout;
    {
        SelectedObject restore(hDC, baseFont);
        LineBreaker breaker(hDC, maxWidth, singleLine);
        for (size_t i = 0; i < markup.runs.size(); ++i) breaker.Add(markup.runs[i], i);
        layout.lines = breaker.Finish(baseFont);
    }
    for (const auto& line : layout.lines) {
        layout.height += line.height;
        layout.width = std::max(layout.width, line.width);
    }
    Place(layout, rc, style);
    return layout;
}

int CollectHtmlLinks(const HtmlMarkup& markup, const HtmlLayout& layout, RECT* links, CDuiString* targets,
                     int maxLinks) {
    int count = 0;
    if (!links) return 0;
    for (const auto& line : layout.lines) {
        for (const auto& piece : line.pieces) {
            int link = markup.runs[piece.run].link;
            if (link < 0 || count >= maxLinks) continue;
            links[count] = piece.area;
            if (targets) targets[count] = markup.targets[link];
            ++count;
        }
    }
    return count;
}

void DrawHtmlLayout(HDC hDC, CPaintManagerUI& manager, const HtmlMarkup& markup, const HtmlLayout& layout,
                    const RECT& rc) {
    SelectedObject restoreFont(hDC, ::GetCurrentObject(hDC, OBJ_FONT));
    int oldMode = ::SetBkMode(hDC, TRANSPARENT);
    CRenderClip clip;
    CRenderClip::GenerateClip(hDC, rc, clip);
    for (const auto& line : layout.lines) {
        for (const auto& piece : line.pieces) {
            const HtmlRun& run = markup.runs[piece.run];
            ::SelectObject(hDC, run.font);
            if (run.selected) CRenderEngine::DrawColor(hDC, piece.area, manager.GetDefaultSelectedBkColor());
            ::SetTextColor(hDC, ToColorRef(run.color));
            ::TextOutW(hDC, piece.area.left, piece.top, piece.text.c_str(), static_cast<int>(piece.text.size()));
        }
    }
    ::SetBkMode(hDC, oldMode);
}

}  // namespace winhush::dui::detail
