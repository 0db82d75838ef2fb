// The three steps behind CRenderEngine::DrawHtmlText: the markup is parsed into runs of
// one font, colour and link each; the runs are laid into lines inside the rectangle (all
// that DT_CALCRECT needs); the laid-out pieces are drawn. Each step can be called on its own,
// so a layout can be checked without looking at pixels.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/dui/UIBase.h"

namespace winhush::dui {

class CPaintManagerUI;

namespace detail {

struct HtmlRun {
    std::wstring text;
    HFONT font = nullptr;  // owned by the paint manager's font cache
    DWORD color = 0;
    int link = -1;          // index into HtmlMarkup::targets; -1 = not a link
    bool selected = false;  // <s>: drawn on the selected background
    bool newline = false;   // the run starts a new line (<n>, <p>)
    int indentX = 0;        // pixels of <x n> before the run
};

struct HtmlMarkup {
    std::vector<HtmlRun> runs;
    std::vector<CDuiString> targets;  // one per <a>, in order of appearance
};

// Unknown tags and tags without their closing bracket stay text. Runs are never empty.
HtmlMarkup ParseHtmlText(CPaintManagerUI& manager, const wchar_t* text, DWORD textColor);

struct HtmlPiece {
    std::wstring text;
    size_t run = 0;  // index into HtmlMarkup::runs
    RECT area = {};  // the piece's cell: its width, the whole line's height
    int top = 0;     // where its glyphs start, so that every font on the line shares a baseline
};

struct HtmlLine {
    std::vector<HtmlPiece> pieces;
    int width = 0, height = 0, ascent = 0;
};

struct HtmlLayout {
    std::vector<HtmlLine> lines;  // at least one
    int width = 0, height = 0;    // of the widest line; of all lines
};

// Breaks the runs into lines no wider than rc (unless DT_SINGLELINE) and places them in rc
// by DT_CENTER / DT_RIGHT and DT_VCENTER / DT_BOTTOM. Selects fonts into hDC while it
// measures and restores the one it found.
HtmlLayout LayoutHtmlText(HDC hDC, const HtmlMarkup& markup, HFONT baseFont, const RECT& rc, UINT style);

// Writes the rectangles and targets of link pieces, in reading order, up to maxLinks;
// answers how many were written. A link broken over two lines gives two rectangles.
int CollectHtmlLinks(const HtmlMarkup& markup, const HtmlLayout& layout, RECT* links, CDuiString* targets,
                     int maxLinks);

// Draws the pieces clipped to rc, with a transparent background.
void DrawHtmlLayout(HDC hDC, CPaintManagerUI& manager, const HtmlMarkup& markup, const HtmlLayout& layout,
                    const RECT& rc);

}  // namespace detail
}  // namespace winhush::dui
