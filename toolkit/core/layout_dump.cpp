#include "toolkit/core/layout_dump.h"

#include <cstdio>
#include <string>

#include "toolkit/core/box.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/layout.h"

namespace {

using Text = std::string;

void AppendAtom(Text& out, oxAtom atom) {
    WCHAR name[oxAtoms::kLookupUnits];
    if (oxAtoms::GetName(atom, name, oxAtoms::kLookupUnits) <= 0) {
        out += "?";
        return;
    }
    for (const WCHAR* p = name; *p; ++p)
        out += *p < 0x80 ? char(*p) : '?';
}

void AppendF(Text& out, const char* format, int a, int b, int c, int d) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, a, b, c, d);
    out += buffer;
}

void DumpLine(oxBox* box, int depth, Text& out) {
    out.append(size_t(depth) * 2, ' ');
    AppendAtom(out, box->GetTag());
    if (box->GetBoxType() != box->GetTag()) {
        out += " (";
        AppendAtom(out, box->GetBoxType());
        out += ")";
    }
    if (box->GetId()) {
        out += " #";
        AppendAtom(out, box->GetId());
    }
    oxRect r = box->GetBoxRect(), c = box->GetContentRect();
    AppendF(out, " %d,%d %dx%d", r.x, r.y, r.width, r.height);
    if (c.x != 0 || c.y != 0 || c.width != r.width || c.height != r.height)
        AppendF(out, " content=%d,%d %dx%d", c.x, c.y, c.width, c.height);
    static constexpr struct {
        uint32_t mask;
        const char* name;
    } kStates[] = {{kStateHidden, "hidden"},
                   {kStateCollapsed, "collapsed"},
                   {kStateOverflowed, "overflowed"},
                   {kStateHiddenByAncestor, "hiddenByAncestor"}};
    bool open = false;
    for (const auto& s : kStates) {
        if (!(box->GetStateFlags() & s.mask)) continue;
        out += open ? " " : " [";
        out += s.name;
        open = true;
    }
    if (open) out += "]";
    oxLayout* layout = box->GetLayoutIfMade();
    if (layout && (layout->GetContentWidth() || layout->GetContentHeight()))
        AppendF(out, " scroll=%d,%d range=%d,%d", layout->GetScrollX(), layout->GetScrollY(), layout->GetContentWidth(),
                layout->GetContentHeight());
    if (oxRect v = box->GetVScrollBarRect(); v.width || v.height)
        AppendF(out, " vbar=%d,%d %dx%d", v.x, v.y, v.width, v.height);
    if (oxRect h = box->GetHScrollBarRect(); h.width || h.height)
        AppendF(out, " hbar=%d,%d %dx%d", h.x, h.y, h.width, h.height);
    out += "\n";
}

} // namespace

void oxDumpLayout(oxBox* root, NUBO::TWString& out) {
    if (!root) return;
    Text text;
    oxVisitBoxTree(
        root, [](oxBox* box, int depth, void* context) { DumpLine(box, depth, *static_cast<Text*>(context)); }, &text);
    std::u16string wide(text.begin(), text.end());
    out.Append(wide.data(), int(wide.size()));
}
