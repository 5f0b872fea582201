#include "toolkit/widgets/popup_placement.h"

namespace {

constexpr int32_t kTop = 1, kRight = 2, kBottom = 3, kLeft = 4;
// A popup keeps its first side while at least this much of it stays on the screen.
constexpr int32_t kKeepVisible = 100;

bool IsSideAlignment(oxAtom a) {
    return a == kAtomEnd_after || a == kAtomEnd_before || a == kAtomStart_after || a == kAtomStart_before;
}

bool IsStartAlignment(oxAtom a) {
    return a == kAtomStart_before || a == kAtomStart_after;
}

} // namespace

oxAtom MirrorPopupAlignment(oxAtom a) {
    switch (a) {
    case kAtomAfter_end:
        return kAtomAfter_start;
    case kAtomBefore_end:
        return kAtomBefore_start;
    case kAtomBefore_start:
        return kAtomBefore_end;
    case kAtomEnd_after:
        return kAtomStart_after;
    case kAtomStart_after:
        return kAtomEnd_after;
    case kAtomEnd_before:
        return kAtomStart_before;
    case kAtomStart_before:
        return kAtomEnd_before;
    case kAtomOverlap:
        return kAtomOverlap;
    default:
        return kAtomAfter_end;
    }
}

bool IsPointerAlignment(oxAtom a) {
    return a == kAtomAfter_point || a == kAtomAt_point || (a >= kAtomCursor_hcenter_bottom && a <= kAtomCursor_right_vcenter);
}

oxPopupPlacement PlacePopupAtAnchor(const oxAnchorPlacementInput& in) {
    oxPopupPlacement out;
    out.rtlX = in.rtlX;
    oxAtom a = in.alignment;
    // An unset alignment places the popup below its anchor; only an explicit "none" leaves it.
    if (in.chained && (a == 0 || a == kAtomNone || a == kAtomMenu)) a = kAtomEnd_before;
    if (a == 0) a = kAtomAfter_start;
    const int32_t Pw = in.popup.x, Ph = in.popup.y, Aw = in.anchor.width, Ah = in.anchor.height;
    const int32_t Ax = in.anchor.x, Ay = in.anchor.y;
    const int32_t Sx = in.screen.x, Sy = in.screen.y, Sw = in.screen.width, Sh = in.screen.height;
    if (in.rightToLeft) {
        a = MirrorPopupAlignment(a);
        if (!in.ancestorPopupOpen) out.rtlX = Sx * 2 + Sw - Aw - in.anchorXInWindow;
    }
    if (a == kAtomNone) return out;
    out.placed = true;
    const bool side = IsSideAlignment(a);
    int32_t dx = 0, dy = Ah;
    switch (a) {
    case kAtomAfter_end:
        dx = Aw - Pw, dy = Ah;
        break;
    case kAtomBefore_end:
        dx = Aw - Pw, dy = -Ph;
        break;
    case kAtomBefore_start:
        dx = 0, dy = -Ph;
        break;
    case kAtomEnd_after:
        dx = Aw, dy = Ah - Ph;
        break;
    case kAtomEnd_before:
        dx = Aw, dy = 0;
        break;
    case kAtomOverlap:
        dx = 0, dy = 0;
        break;
    case kAtomStart_after:
        dx = -Pw, dy = Ah - Ph;
        break;
    case kAtomStart_before:
        dx = -Pw, dy = 0;
        break;
    default:
        break;
    }
    if (in.chained && in.parentOverflowX == kLeft) {
        out.overflowX = kLeft;
        dx = side ? Aw : Sx - Ax;
    } else if (in.chained && in.parentOverflowX == kRight) {
        out.overflowX = kRight;
        dx = side ? -Pw : Sx + Sw - Pw - Ax;
    }
    const int32_t X = in.rightToLeft ? out.rtlX : Ax;
    const int32_t L = in.rightToLeft ? Aw : 0;
    if (X + dx - L < Sx) {
        out.overflowX = kLeft;
        int32_t offset;
        if (IsStartAlignment(a))
            offset = Aw; // the popup moves to the anchor's right
        else if (!side)
            offset = L + Sx - X;
        else
            offset = Aw;
        dx = Sx + Sw < Ax + Pw + offset ? Sw + Sx - Ax - Pw : offset;
    } else if (Sx + Sw < Ax + Pw + dx) {
        out.overflowX = kRight;
        dx = side ? -Pw : Sw + Sx - Ax - Pw;
        if (Ax + dx < Sx) dx = Sx - Ax;
    }
    int32_t r = dy;
    if (Ay + dy < Sy) {
        out.overflowY = kTop;
        r = side ? 0 : Ah;
        if (Sy + Sh < Ay + Ph + r) {
            out.squeezed = true;
            if (Ay + dy + Ph - Sy >= kKeepVisible) r = dy;
        }
    } else if (Sy + Sh < Ay + dy + Ph) {
        out.overflowY = kBottom;
        r = side ? Ah - Ph : -Ph;
        if (Ay + r < Sy) {
            out.squeezed = true;
            if (Sy + Sh - dy - Ay >= kKeepVisible) r = dy;
        }
    }
    if (in.rightToLeft) out.rtlX += dx;
    out.left = dx;
    out.top = r;
    return out;
}

oxPopupPlacement PlacePopupAtPointer(const oxPointerPlacementInput& in) {
    oxPopupPlacement out;
    oxAtom a = in.alignment;
    if (!IsPointerAlignment(a)) return out;
    if (in.rightToLeft) {
        // Left and right trade places; bottom, top and vcenter stay.
        if (a >= kAtomCursor_left_bottom && a <= kAtomCursor_left_vcenter)
            a = oxAtom(a - kAtomCursor_left_bottom + kAtomCursor_right_bottom);
        else if (a >= kAtomCursor_right_bottom && a <= kAtomCursor_right_vcenter)
            a = oxAtom(a - kAtomCursor_right_bottom + kAtomCursor_left_bottom);
    }
    out.placed = true;
    const int32_t Pw = in.popup.x, Ph = in.popup.y, Cx = in.pointer.x, Cy = in.pointer.y;
    const int32_t Sx = in.screen.x, Sy = in.screen.y, Sw = in.screen.width, Sh = in.screen.height;
    const bool hcenter = a >= kAtomCursor_hcenter_bottom && a <= kAtomCursor_hcenter_vcenter;
    const bool right = a >= kAtomCursor_right_bottom && a <= kAtomCursor_right_vcenter;
    int32_t c;
    if (a == kAtomAfter_point) {
        c = Cx + Pw > Sx + Sw ? Sx + Sw - Pw : Cx;
    } else if (hcenter) {
        c = Cx - Pw / 2;
        if (c < Sx) c = Sx;
        if (c + Pw > Sx + Sw) c = Sx + Sw - Pw;
    } else if (right) {
        c = Cx - Pw < Sx ? Cx : Cx - Pw;
    } else {
        c = Cx + Pw > Sx + Sw ? Cx - Pw : Cx;
    }
    const bool bottom = a == kAtomCursor_hcenter_bottom || a == kAtomCursor_left_bottom || a == kAtomCursor_right_bottom;
    const bool vcenter =
        a == kAtomCursor_hcenter_vcenter || a == kAtomCursor_left_vcenter || a == kAtomCursor_right_vcenter;
    int32_t e;
    if (a == kAtomAfter_point) {
        e = Cy + in.pointerHeight;
        if (Sy + Sh < e + Ph) {
            if (Sy + Sh >= Ph) {
                e = Sy + Sh - Ph;
            } else {
                out.squeezed = true;
                if (Sy + Sh - Cy < kKeepVisible) e = Sy + Sh - Ph;
            }
        }
    } else if (bottom) {
        e = Cy - Ph;
        if (e < Sy) {
            if (Sh < Cy + Ph) {
                out.squeezed = true;
                if (Cy <= kKeepVisible) e = Cy;
            } else {
                e = Cy;
            }
        }
    } else if (vcenter) {
        e = Cy - Ph / 2;
        if (e + Ph > Sy + Sh) e = Sy + Sh - Ph;
        if (e < Sy) e = Sy;
        out.squeezed = Sy + Sh < Ph;
    } else {
        e = Cy;
        if (e + Ph > Sy + Sh) {
            if (Cy - Ph < Sy) {
                out.squeezed = true;
                if (Sy + Sh - Cy <= kKeepVisible) e = Cy - Ph;
            } else {
                e = Cy - Ph;
            }
        }
    }
    out.left = c - in.parent.x;
    out.top = e - in.parent.y;
    return out;
}
