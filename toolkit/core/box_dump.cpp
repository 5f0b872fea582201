#include "toolkit/core/box_dump.h"

#include <string>

#include "toolkit/core/box.h"

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

} // namespace

void oxDumpBoxTree(const oxBox* root, NUBO::TWString& out) {
    if (!root) return;
    Text text;
    int depth = 0;
    const oxBox* b = root;
    while (b) {
        DumpLine(b, depth, text);
        // Document order without recursion; depth follows the steps down and up.
        if (b->GetChildCount() > 0) {
            b = const_cast<oxBox*>(b)->GetChildAt(0, false);
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
    out.Append(text.data(), int(text.size()));
}
