#pragma once
// Where an opening popup goes: next to its anchor by an alignment keyword, or at the pointer. The
// computation is kept apart from the popup box so that each screen edge can be checked on its own:
// it takes sizes and screen rectangles and answers the popup's `left` and `top` offsets, the screen
// edges it hit (overflow sides: 0 none, 1 top, 2 right, 3 bottom, 4 left) and whether it fits on
// neither side vertically (squeezed).
#include <cstdint>

#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"

struct oxPopupPlacement {
    // False when the alignment leaves the popup where it is.
    bool placed = false;
    // Offsets from the anchor's position (anchor placement) or from the logical parent's screen
    // position (pointer placement).
    int32_t left = 0;
    int32_t top = 0;
    int32_t overflowX = 0;
    int32_t overflowY = 0;
    bool squeezed = false;
    // The horizontal position used in right-to-left scenes, moved by the offset.
    int32_t rtlX = 0;
};

struct oxAnchorPlacementInput {
    // The explicit alignment, else the popup's `popupAlign`; 0 when neither is set.
    oxAtom alignment = 0;
    // The popup has a parent popup, whose horizontal overflow side it inherits.
    bool chained = false;
    int32_t parentOverflowX = 0;
    // The anchor's screen rectangle.
    oxRect anchor;
    // The popup's own outer size.
    oxPoint popup;
    // The monitor rectangle.
    oxRect screen;
    bool rightToLeft = false;
    // In right-to-left scenes: the anchor's x in its window, and whether an ancestor popup is open.
    int32_t anchorXInWindow = 0;
    bool ancestorPopupOpen = false;
    int32_t rtlX = 0;
};

struct oxPointerPlacementInput {
    oxAtom alignment = 0;
    oxPoint pointer;
    int32_t pointerHeight = 0;
    oxPoint popup;
    oxRect screen;
    // The screen position of the popup's logical parent.
    oxPoint parent;
    bool rightToLeft = false;
};

// The right-to-left mirror of an anchor alignment.
oxAtom MirrorPopupAlignment(oxAtom alignment);
// `after_point`, `at_point` and the `cursor_` alignments.
bool IsPointerAlignment(oxAtom alignment);
oxPopupPlacement PlacePopupAtAnchor(const oxAnchorPlacementInput& in);
oxPopupPlacement PlacePopupAtPointer(const oxPointerPlacementInput& in);
