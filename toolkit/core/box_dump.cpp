#include "toolkit/core/box_dump.h"

#include <cstdlib>
#include <string>

#include "toolkit/core/box.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"

namespace {

struct FlagName {
    uint32_t mask;
    const WCHAR* name;
};

constexpr FlagName kStates[] = {
    {kStateHidden, u"hidden"},
    {kStateCollapsed, u"collapsed"},
    {kStateDeflated, u"deflated"},
    {kStateOverflowed, u"overflowed"},
    {kStateGrew, u"grew"},
    {kStateHovered, u"hovered"},
    {kStatePressed, u"pressed"},
    {kStateDragged, u"dragged"},
    {kStateDragHovered, u"dragHovered"},
    {kStateFocused, u"focused"},
    {kStateDisabled, u"disabled"},
    {kStateEngaged, u"engaged"},
    {kStatePopped, u"popped"},
    {kStateToggled, u"toggled"},
    {kStateSelected, u"selected"},
    {kStateExpanded, u"expanded"},
    {kStateMinimized, u"minimized"},
    {kStateMaximized, u"maximized"},
    {kStateActive, u"active"},
    {kStateHiddenByAncestor, u"hiddenByAncestor"},
    {kStateExcluded, u"excluded"},
    {kStateOrnament, u"ornament"},
    {kStateBlockUpdate, u"blockUpdate"},
    {kStateCaptured, u"boxCaptured"},
    {kStateContentPending, u"contentPending"},
    {kStateDisabledByAncestor, u"disabledByAncestor"},
};

// Lines collect in a growing buffer: the counted string copies its whole text on every append.
using Text = std::u16string;

void AppendAtom(Text& out, oxAtom atom) {
    WCHAR name[oxAtoms::kLookupUnits];
    if (oxAtoms::GetName(atom, name, oxAtoms::kLookupUnits) > 0)
        out += name;
    else
        out += u"?";
}

void DumpLine(const oxBox* box, int depth, Text& out) {
    for (int i = 0; i < depth; ++i)
        out += u"  ";
    AppendAtom(out, box->GetTag());
    if (box->GetBoxType() != box->GetTag()) {
        out += u" (";
        AppendAtom(out, box->GetBoxType());
        out += u")";
    }
    if (box->GetId()) {
        out += u" #";
        AppendAtom(out, box->GetId());
    }
    if (const oxAttributeMap* attrs = box->GetAttributes()) {
        for (const auto& node : *attrs) {
            out += u" ";
            AppendAtom(out, node.key);
            out += u"=\"";
            out += node.value.GetString();
            out += u"\"";
        }
    }
    bool open = false;
    for (const FlagName& f : kStates) {
        if (!(box->GetStateFlags() & f.mask)) continue;
        out += open ? u" " : u" [";
        out += f.name;
        open = true;
    }
    if (open) out += u"]";
    if (box->GetModeFlags() != kModeFocusIgnore) {
        NUBO::TWString mode;
        mode.Format(u" mode=0x%X", box->GetModeFlags());
        out += mode.GetString();
    }
    out += u"\n";
}

constexpr const WCHAR* kGroupNames[16] = {
    u"",     u"animation", u"color",  u"metrics", u"clip",   u"",      u"fill",      u"region",
    u"text", u"cursor",    u"layout", u"stroke",  u"shadow", u"bevel", u"transform", u"offset",
};

void AppendValue(Text& out, const oxStyleValue& v) {
    NUBO::TWString t;
    switch (v.GetType()) {
    case kStyleNumber:
    case kStyleInteger:
        t.Format(u"%d", v.GetValue());
        break;
    case kStylePercent:
    case kStylePx:
    case kStylePt:
    case kStyleEm:
    case kStyleSeconds:
    case kStyleMs:
    case kStyleScaled: {
        static const WCHAR* const kUnits[] = {u"%", u"px", u"pt", u"em", u"s", u"ms", u"", u"", u"*"};
        t.Format(u"%d%s", v.GetValue(), kUnits[v.GetType() - kStylePercent]);
        break;
    }
    case kStyleText:
        t.Format(u"\"%s\"", v.GetText() ? v.GetText() : u"");
        break;
    case kStyleUrl: {
        // A qualified reference starts with its library's URI, which names a folder of this machine.
        const WCHAR* text = v.GetText() ? v.GetText() : u"";
        const WCHAR* shown = text;
        if (v.GetValue() == 0) {
            for (const WCHAR* c = text; *c && *c != u'#'; ++c)
                if (*c == u'\\' || *c == u'/') shown = c + 1;
        }
        t.Format(u"url(%s)", shown);
        break;
    }
    case kStyleRect:
        if (const oxStyleRectValue* r = v.GetRect()) {
            out += u"[";
            for (int i = 0; i < 4; ++i) {
                if (i) out += u" ";
                AppendValue(out, r->sides[i]);
            }
            out += u"]";
        }
        return;
    default: {
        WCHAR* text = v.ToString();
        if (text) t = text;
        std::free(text);
        break;
    }
    }
    if (t.GetString()) out += t.GetString();
}

void DumpStyle(const oxBox* box, int depth, Text& out) {
    oxBoxStyle* record = box->GetStyleRecord();
    if (!record) return;
    for (int kind = 1; kind <= 15; ++kind) {
        oxStyleGroup* group = record->GetGroup(kind);
        if (!group || !group->GetSetFlags()) continue;
        for (int i = 0; i < depth; ++i)
            out += u"  ";
        out += u"    | ";
        out += kGroupNames[kind];
        out += u":";
        const oxStyleGroupRange& r = kStyleGroupRanges[kind];
        for (int id = r.first; id < r.first + r.count; ++id) {
            if (!group->IsSet(id)) continue;
            out += u" ";
            out += StylePropertyNameFromId(id);
            out += u"=";
            AppendValue(out, *group->Member(id));
        }
        out += u"\n";
    }
}

} // namespace

void oxVisitBoxTree(oxBox* root, void (*visit)(oxBox* box, int depth, void* context), void* context) {
    int depth = 0;
    oxBox* b = root;
    while (b) {
        visit(b, depth, context);
        // Depth follows the steps down and up.
        if (b->GetChildCount() > 0) {
            b = b->GetChildAt(0, false);
            ++depth;
            continue;
        }
        while (b && b != root) {
            oxBox* parent = b->GetParent();
            if (parent && b->GetIndex() + 1 < parent->GetChildCount()) {
                b = parent->GetChildAt(b->GetIndex() + 1, false);
                break;
            }
            b = parent;
            --depth;
        }
        if (b == root) break;
    }
}

void oxDumpBoxTree(const oxBox* root, NUBO::TWString& out, unsigned options) {
    if (!root) return;
    struct Context {
        Text text;
        unsigned options;
    } context{{}, options};
    oxVisitBoxTree(
        const_cast<oxBox*>(root),
        [](oxBox* box, int depth, void* c) {
            auto* ctx = static_cast<Context*>(c);
            DumpLine(box, depth, ctx->text);
            if (ctx->options & kDumpStyle) DumpStyle(box, depth, ctx->text);
        },
        &context);
    out.Append(context.text.data(), int(context.text.size()));
}
