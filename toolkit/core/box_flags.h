#pragma once
// The bits of a box's change flags, state flags, mode word and cache-mark word.
#include <cstdint>

// Change flags.
constexpr uint32_t kChangeStyleDirty = 0x1;
constexpr uint32_t kChangeLayoutQueued = 0x2;
constexpr uint32_t kChangeRepaintPending = 0x4;
constexpr uint32_t kChangeHasAnchor = 0x8;
constexpr uint32_t kChangeLayoutStale = 0x10;
constexpr uint32_t kChangeArranged = 0x20;
constexpr uint32_t kChangeConstructed = 0x40;
constexpr uint32_t kChangeAttached = 0x80;
constexpr uint32_t kChangeFramed = 0x100;
constexpr uint32_t kChangeFlowed = 0x200;
constexpr uint32_t kChangeLayered = 0x400;
constexpr uint32_t kChangeLayerStack = 0x800;
constexpr uint32_t kChangeLayerBelow = 0x1000;
constexpr uint32_t kChangeHasListeners = 0x2000;
constexpr uint32_t kChangeFixedRowSize = 0x4000;
constexpr uint32_t kChangeIgnoreEvents = 0x8000;
constexpr uint32_t kChangeBlockEvents = 0x10000;
constexpr uint32_t kChangeTranslucent = 0x20000;
constexpr uint32_t kChangeLayoutRoot = 0x40000;
constexpr uint32_t kChangePainted = 0x80000;
constexpr uint32_t kChangeHoldsContent = 0x100000; // its gadget built content with a placeholder
constexpr uint32_t kChangeContentChild = 0x200000;
constexpr uint32_t kChangeSubtreeDirty = 0x400000;
constexpr uint32_t kChangeReported = 0x800000;
constexpr uint32_t kChangeForceNoLayering = 0x1000000;
constexpr uint32_t kChangeArranging = 0x2000000;
constexpr uint32_t kChangeSourceSnapshot = 0x8000000;
constexpr uint32_t kChangeTargetSnapshot = 0x10000000;
constexpr uint32_t kChangeGadgetInstance = 0x20000000; // its gadget script instance is made

// State flags.
constexpr uint32_t kStateHidden = 0x1;
constexpr uint32_t kStateCollapsed = 0x2;
constexpr uint32_t kStateDeflated = 0x4;
constexpr uint32_t kStateOverflowed = 0x8;
constexpr uint32_t kStateGrew = 0x10;
constexpr uint32_t kStateHovered = 0x20;
constexpr uint32_t kStatePressed = 0x40;
constexpr uint32_t kStateDragged = 0x80;
constexpr uint32_t kStateDragHovered = 0x100;
constexpr uint32_t kStateFocused = 0x200;
constexpr uint32_t kStateDisabled = 0x400;
constexpr uint32_t kStateEngaged = 0x800;
constexpr uint32_t kStatePopped = 0x1000;
constexpr uint32_t kStateToggled = 0x2000;
constexpr uint32_t kStateSelected = 0x4000;
constexpr uint32_t kStateExpanded = 0x8000;
constexpr uint32_t kStateAnimating = 0x10000;
constexpr uint32_t kStateBit17 = 0x20000;
constexpr uint32_t kStateMinimized = 0x80000;
constexpr uint32_t kStateMaximized = 0x100000;
constexpr uint32_t kStateActive = 0x200000;
constexpr uint32_t kStateHiddenByAncestor = 0x400000;
constexpr uint32_t kStateExcluded = 0x800000;
constexpr uint32_t kStateOrnament = 0x1000000;
constexpr uint32_t kStateBlockUpdate = 0x2000000;
constexpr uint32_t kStateCaptured = 0x4000000;
constexpr uint32_t kStateReplicated = 0x8000000;
constexpr uint32_t kStateRecordPrior = 0x10000000;
constexpr uint32_t kStateContentPending = 0x20000000;
constexpr uint32_t kStateDisabledByAncestor = 0x40000000;
constexpr uint32_t kStateNoScrollbarArrange = 0x80000000;

// Mode groups of the mode word; a getter answers the highest set bit of its group.
constexpr uint32_t kModeFocusIgnore = 1, kModeFocusNormal = 2, kModeFocusDefer = 4;
constexpr uint32_t kModeFocusMask = 0x7;
constexpr uint32_t kModeDragData = 8, kModeDragMove = 16, kModeDragWindow = 32;
constexpr uint32_t kModeDragMask = 0x38;
constexpr uint32_t kModeToggleTwo = 64, kModeToggleThree = 128;
constexpr uint32_t kModeToggleMask = 0xC0;
constexpr uint32_t kModeSelectableItem = 256, kModeSelectableBlock = 512;
constexpr uint32_t kModeSelectableMask = 0x300;
constexpr uint32_t kModeSelectSingle = 1024, kModeSelectMultiple = 2048, kModeSelectContiguous = 4096;
constexpr uint32_t kModeSelectMask = 0x1C00;
constexpr uint32_t kModeCursorWrap = 8192;
constexpr uint32_t kModeCursorMask = 0x2000;
constexpr uint32_t kModeBit14 = 0x4000;

// Cache marks (low bits of the presence word).
constexpr uint16_t kMarkMeasuredWidth = 0x1;
constexpr uint16_t kMarkMeasuredHeight = 0x2;
constexpr uint16_t kMarkFramePosition = 0x4;
constexpr uint16_t kMarkPaintOutsets = 0x8;
constexpr uint16_t kMarkTransformed = 0x10;
constexpr uint16_t kMarkFramedKnown = 0x20;
constexpr uint16_t kMarkFramedDescendant = 0x40;

// Construction values.
constexpr uint32_t kChangeInitial = 0x00800217;
