#pragma once
// oxBox: a node of the toolkit's box tree and the base of every box kind. A box is a markup element
// in the box namespace, a counted object that receives events, and an attribute sink that markup
// property elements write through. The parent holds its children (each child's creation reference
// is the parent's); a child's parent pointer is a plain back-pointer, cleared on removal.
#include <cstdint>

#include "platform/types.h"
#include "runtime/hash_map.h"
#include "toolkit/base/element.h"
#include "toolkit/base/rect.h"
#include "toolkit/base/referenced.h"
#include "toolkit/base/shared_string.h"
#include "toolkit/core/box_flags.h"

class oxBox;
class oxBoxChangeLog;
class oxCanvas;
class oxDataBinding;
class oxBoxScene;
class oxBoxStyle;
class oxEvent;
class oxFillCrossFade;
class oxBoxFrame;
class oxBoxGadget;
class oxKeyEvent;
class oxLayout;
class oxMetricsGroup;
class oxStyleDeclaration;
class oxStyleGroup;
class oxStyleValue;
class oxTimerEntry;
struct oxPlacementRecord;

// Where markup property elements ("styleProps", "property") write their values.
class oxAttributeSink {
public:
    // An attribute in the box namespace.
    virtual int32_t SetBoxAttribute(oxAtom attribute, const WCHAR* value) = 0;
    // A style property in the style namespace.
    virtual int32_t SetStyleProperty(oxAtom property, const WCHAR* value) = 0;

protected:
    ~oxAttributeSink() = default;
};

// Told of a box's attribute, state, mode and style changes. Counted: the box holds a reference.
class oxChangeListener {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual void OnAttributeChanged(oxBox* box, oxAtom attribute) = 0;
    virtual void OnStyleChanged(oxBox* box, int propertyId) = 0;

protected:
    ~oxChangeListener() = default;
};

using oxAttributeMap = NUBO::oxIdHashMap<oxSharedString>;

class oxBox : public oxElement, public oxReferenced, public oxAttributeSink {
public:
    static constexpr uint32_t kDeletingCount = 0xC0000001u;
    // Boxes nest at most this many levels deep, a box without a parent counting as one. Layout,
    // painting and hit testing recurse once per level; at this depth they keep well within the stack.
    static constexpr int kMaxDepth = 256;

    explicit oxBox(oxAtom tag);
    ~oxBox() override;

    // Counted reference. Release to zero marks the count kDeletingCount and deletes the box, so a
    // reference taken and dropped while it dies cannot start a second deletion.
    ULONG AddRef() override;
    ULONG Release() override;
    bool IsBeingDeleted() const { return refCount_ >= 0x80000000u; }
    uint32_t GetRefCount() const { return refCount_; }
    // Delivers an event to the box's own handling; an attribute "stopPropagation" that reads true
    // keeps it from bubbling further.
    virtual int32_t HandleEvent(oxEvent* event);
    // Whether the box takes the key itself rather than leave it to the scene (Enter to the default
    // button): a plain Enter by its `wantEnter` attribute when it has one, else by its key handlers.
    virtual bool HandleAccelerator(const oxKeyEvent* key);
    // The animated-fill timer is due.
    void OnTimer(oxTimerEntry* entry) override;

    // oxAttributeSink.
    int32_t SetBoxAttribute(oxAtom attribute, const WCHAR* value) override;
    int32_t SetStyleProperty(oxAtom property, const WCHAR* value) override;

    // Element operations.
    void SetId(oxAtom id) override;
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    bool IsBox() const override { return true; }
    // Makes a box for a markup tag through the scene and appends it.
    int32_t CreateBoxChild(oxAtom ns, oxAtom tag, oxElement** out);

    // Attributes. SetAttribute turns the box's own attributes (states, modes, flags, `id`, `style`)
    // into their fields and stores every other one as plain text.
    virtual int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced);
    // Stores text as a plain attribute; empty or null text removes it. False when unchanged.
    virtual bool StoreAttribute(oxAtom attribute, const WCHAR* value, bool notify);
    // The attribute's text: computed for the box's own attributes ("true"/"false" for states and
    // flags, the mode word, the id's name), else the stored text; null when none.
    virtual const WCHAR* GetAttribute(oxAtom attribute);
    virtual const WCHAR* GetAttributeText(oxAtom attribute) const;
    virtual void RemoveAttribute(oxAtom attribute);
    const oxAttributeMap* GetAttributes() const { return attributes_; }

    // Identity and type.
    virtual oxAtom GetBoxType() const { return kAtomBox; }
    oxBoxScene* GetScene() const { return scene_; }
    virtual void SetScene(oxBoxScene* scene);
    virtual void OnSceneAttached();
    // Gives each box of the subtree the scene, announcing it when the scene already runs.
    void AttachSubtreeToScene(oxBoxScene* scene);

    // Tree. Indexes are 0-based; `expand` first builds the markup waiting under a collapsed box.
    oxBox* GetParent() const { return parent_; }
    oxBox* GetOwner() const { return owner_; }
    void SetOwner(oxBox* owner) { owner_ = owner; }
    int GetIndex() const { return index_; }
    int GetChildCount() const;
    int GetChildCapacity() const;
    oxBox* GetChildAt(int index, bool expand);
    oxBox* GetFirstChild(bool expand);
    oxBox* GetLastChild(bool expand);
    // Appends a child; partName "part" makes this box its owner, "descendantPart" this box's owner.
    virtual void AddChild(oxBox* child, const WCHAR* partName = nullptr, bool expand = false);
    // Inserts `count` children before `index` (-1 or past the end appends). Children that have a
    // parent leave it first; a child whose subtree would reach deeper than kMaxDepth below this box
    // is left where it was. When memory runs out the tree is left unchanged.
    virtual void InsertChildrenAt(int index, oxBox* const* children, int count, const WCHAR* partName, bool expand);
    // The levels from the top of this box's tree down to it: 1 for a box without a parent.
    int GetDepth() const;
    // Whether `child` with its subtree fits below this box within kMaxDepth.
    bool CanTakeChild(const oxBox* child) const;
    // Takes a child out and returns it alive (the caller decides its fate), or null.
    virtual oxBox* RemoveChild(oxBox* child, bool expand);
    virtual oxBox* RemoveChildAt(int index, bool expand);
    // Unlinks and destroys every child, last first.
    virtual void DestroyChildren();

    // Content children: the children of the gadget's content part box that were inserted as content,
    // from the part's content insertion index on. Without a content part they are nothing.
    virtual oxBox* GetContentPart() const;
    // Where content children start in this box's children (a content part's insertion index); 0
    // without children.
    int GetContentInsertIndex() const;
    void SetContentInsertIndex(int index);
    // The content part's child at its insertion index when that child is content, else null.
    oxBox* GetContentInsertionChild(bool expand);
    int GetContentChildCount() const;
    oxBox* GetContentChildAt(int index) const;
    void InsertContentChildAt(int index, oxBox* child, const WCHAR* partName, bool expand);
    virtual void AddContentChild(oxBox* child, const WCHAR* partName = nullptr, bool expand = false);
    oxBox* RemoveContentChild(oxBox* child);
    oxBox* RemoveContentChildAt(int index);
    void DeleteContentChildren();
    // Builds the markup that waits under a collapsed box.
    void ExpandCollapsedContent();
    // A placeholder of a collapsed box builds the markup it holds as children of `into`.
    virtual void BuildDeferredContent(oxBox* into) { (void)into; }

    // Document-order navigation; stopAt bounds the climb.
    oxBox* GetNextBox(const oxBox* stopAt, bool skipChildren, bool skipHidden) const;
    oxBox* GetPreviousBox() const;
    oxBox* GetSpecialPart(oxAtom atom);
    virtual oxBox* GetPartById(oxAtom id);
    // Depth-first from this box (included), the first box of that tag; markup waiting under a
    // collapsed box is built only when it holds the tag.
    virtual oxBox* GetBoxByTag(oxAtom tag);
    // The same search from `start` (this box when null) on, within this box's subtree.
    oxBox* FindBoxByType(oxAtom tag, oxBox* start);
    // The first box below this one of that tag whose layout root is `root`: a part of `root`'s own
    // layout rather than of a nested one.
    oxBox* FindPartByTag(oxAtom tag, oxBox* root);
    oxBox* FindPart(oxAtom atom);
    bool IsAncestorOf(const oxBox* box) const;
    oxBox* GetLogicalParent() const;
    oxBox* FindFrameBox() const;
    oxBox* FindLayerRoot() const;
    oxBox* GetLayerRoot() const;
    oxBox* FindAncestorWithFlag();
    bool IsMdiChild() const;

    // Copying. Duplicate asks the scene for a box of the same type and tag; null without a scene.
    virtual oxBox* Duplicate(bool deep, bool expand);
    virtual void CloneInto(oxBox* target, bool keepBindingsIdle);
    static void CloneChildren(oxBox* source, oxBox* target, oxBox* sourceRoot, oxBox* targetRoot);

    // Flags.
    uint32_t GetChangeFlags() const { return changeFlags_; }
    virtual void SetChangeFlag(uint32_t mask, bool on);
    virtual bool TestChangeFlags(uint32_t mask) const { return (changeFlags_ & mask) != 0; }
    uint16_t GetPresence() const { return presence_; }
    virtual bool HasSideTableEntry(uint16_t mask) const { return (presence_ & mask) != 0; }
    void SetPresence(uint16_t mask, bool on);
    uint32_t GetStateFlags() const { return stateFlags_; }
    // Sets or clears state bits, first recording prior values while bit 28 asks for it.
    void SetStateFlag(uint32_t mask, bool on);
    // The values recorded from before the changes (one per state bit or attribute), or null.
    const oxBoxChangeLog* GetChangeLog() const;
    // Puts the recorded values back and empties the log.
    void ReplayChangeLog();
    void ClearChangeLog();

    bool IsEffectivelyHidden() const { return (stateFlags_ & (kStateHidden | kStateHiddenByAncestor)) != 0; }
    bool IsEffectivelyDisabled() const { return (stateFlags_ & (kStateDisabled | kStateDisabledByAncestor)) != 0; }
    bool IsCollapsed() const { return (stateFlags_ & kStateCollapsed) != 0; }
    bool IsVisibleAndEnabled() const;
    bool IsFocusable() const;

    // State setters. Each announces its attribute (changed or not) unless noted; `forced` skips the
    // owner's gadget mapping of the state.
    virtual void SetHidden(bool value);
    virtual void SetHiddenByAncestor(bool value);
    virtual void SetBlockUpdate(bool value);
    virtual void SetExcluded(bool value);
    virtual void SetOrnament(bool value);
    virtual void SetCollapsed(bool value, bool forced);
    virtual void SetDeflated(bool value);
    virtual void SetOverflowed(bool value);
    virtual void SetGrew(bool value);
    virtual void SetHovered(bool value, bool forced);
    virtual void SetPressed(bool value, bool forced);
    virtual void SetDragged(bool value, bool forced);
    virtual void SetDragHovered(bool value, bool forced);
    virtual void SetFocused(bool value, bool keepFrameFocus, bool quiet);
    virtual void SetDisabled(bool value, bool forced);
    virtual void SetEngaged(bool value, bool forced);
    virtual void SetPopped(bool value);
    virtual void SetToggled(bool value, bool forced);
    virtual void SetSelected(bool value, bool forced);
    virtual void SetModeBit14(bool value);
    virtual void SetExpanded(bool value, bool forced);
    virtual void SetAnimating(bool value);
    virtual void SetStateBit17(bool value);
    virtual void SetMaximized(bool value);
    virtual void SetMinimized(bool value);
    virtual void SetActive(bool value);
    virtual void SetCaptured(bool value);
    virtual void SetNoScrollbarArrange(bool value);

    // Modes: getters answer the highest set bit of the group; setters replace only their group.
    uint32_t GetModeFlags() const { return modeFlags_; }
    uint32_t GetFocusMode() const { return HighestBit(modeFlags_ & kModeFocusMask); }
    uint32_t GetDragMode() const { return HighestBit(modeFlags_ & kModeDragMask); }
    uint32_t GetToggleMode() const { return HighestBit(modeFlags_ & kModeToggleMask); }
    uint32_t GetSelectableMode() const { return HighestBit(modeFlags_ & kModeSelectableMask); }
    uint32_t GetSelectMode() const { return HighestBit(modeFlags_ & kModeSelectMask); }
    uint32_t GetCursorMode() const { return HighestBit(modeFlags_ & kModeCursorMask); }
    virtual void SetFocusMode(uint32_t value) { SetMode(kModeFocusMask, value, kAtomFocusMode); }
    virtual void SetDragMode(uint32_t value) { SetMode(kModeDragMask, value, kAtomDragMode); }
    virtual void SetToggleMode(uint32_t value) { SetMode(kModeToggleMask, value, kAtomToggleMode); }
    virtual void SetSelectableMode(uint32_t value) { SetMode(kModeSelectableMask, value, kAtomSelectableMode); }
    virtual void SetSelectMode(uint32_t value) { SetMode(kModeSelectMask, value, kAtomSelectMode); }
    virtual void SetCursorMode(uint32_t value) { SetMode(kModeCursorMask, value, kAtomCursorMode); }

    // Change notification: to the gadget, as an "attributeSet" event to the box itself (changed or
    // not), and to the change listeners (changed only).
    virtual void NotifyAttributeChange(oxAtom attribute, bool changed, bool notify = true);
    void NotifyStyleChange(int propertyId);
    // Adding a listener twice keeps one entry and one reference.
    void AddChangeListener(oxChangeListener* listener);
    void RemoveChangeListener(oxChangeListener* listener);
    int GetChangeListenerCount() const;

    // Data bindings made on the box (box_bindings.cpp), each held with a reference. Adding one twice
    // keeps one entry.
    void AddDataBinding(oxDataBinding* binding);
    void RemoveDataBinding(oxDataBinding* binding);
    int GetDataBindingCount() const;
    oxDataBinding* GetDataBindingAt(int index) const;
    // The first binding of that name (case-sensitive); made when missing and `create` is set.
    oxDataBinding* GetDataBinding(const WCHAR* name, bool create);
    oxDataBinding* GetBindingById(oxAtom id) const;
    // A new binding made through the scene, added to the box and named; null for a null name.
    oxDataBinding* CreateDataBinding(const WCHAR* name);

    // Anchors: a layered box uses its anchor as logical parent.
    virtual oxBox* GetAnchor();
    virtual void SetAnchor(oxBox* anchor);
    // Layers: the layered boxes registered with a layer root, in z order.
    int GetLayerCount() const;
    oxBox* GetLayerAt(int index) const;
    // The index of the first layer of the upper part (zIndex 0 or more); the ones before it, with a
    // negative zIndex, are painted under the children.
    int GetLayerBoundary() const;
    static void AddLayer(oxBox* root, oxBox* box);
    static void RemoveLayer(oxBox* root, oxBox* box);
    void SetFlowed(bool on) { SetChangeFlag(kChangeFlowed, on); }

    // Native frame (box_frames.cpp). A framed box's frame lives in a side table, made on first use
    // through the frame services; clearing `framed` destroys it, window first. Kinds that keep
    // their frame elsewhere (windows, popups) set the flag only.
    virtual void SetHasFrame(bool on);
    virtual oxBoxFrame* GetFrame();
    // The box's own frame, else the frame of the nearest box above it that owns one.
    oxBoxFrame* GetHostFrame();
    // Whether a box below owns a frame that is not a popup's; cached in marks 0x20 and 0x40.
    bool HasFramedDescendants();
    // Marks the ancestors as knowing (and, when `framed`, having) a framed descendant.
    void PropagateFlagToAncestors(bool framed);

    // Style. The record is resolved from the rules when it is out of date and the box is in a scene.
    oxBoxStyle* ResolveStyle();
    oxBoxStyle* GetStyle() { return ResolveStyle(); }
    oxStyleGroup* GetStyleGroup(int kind);
    // The computed value, or a null value without a record.
    void GetStyleValue(int propertyId, oxStyleValue* out);
    // The computed value as malloc'd text; null only when memory ran out.
    WCHAR* GetStyleString(int propertyId);
    // Sets an inline value; mode 1 is an animation step, 0 an ordinary set.
    virtual void SetStyleValue(int propertyId, const oxStyleValue& value, int mode);
    // Parses text for the property and sets it; false when it does not parse.
    bool SetStylePropertyText(int propertyId, const WCHAR* text, int mode);
    // By property name, parsed in the box's scene; unknown names do nothing.
    bool SetStyle(const WCHAR* name, const WCHAR* text);
    void RemoveStyle(const WCHAR* name);
    void RemoveStyleValue(int propertyId);
    void SetTop(int32_t v);
    void SetRight(int32_t v);
    void SetBottom(int32_t v);
    void SetLeft(int32_t v);
    void SetWidth(int32_t v);
    void SetHeight(int32_t v);
    void SetMinWidth(int32_t v);
    void SetMinHeight(int32_t v);
    void SetMaxWidth(int32_t v);
    void SetMaxHeight(int32_t v);
    void SetPosition(const oxPoint& p);
    void SetZIndex(int32_t z);
    // Width and height where they differ from the current values, keeping a scaled unit.
    void SetSize(const oxPoint& size);
    void SetStyleRecord(oxBoxStyle* record);
    void DetachStyleRecord(oxBoxStyle* record);
    // The `style` attribute: the style class atom. A change drops the record and restyles the box.
    void SetStyleId(oxAtom atom, bool fromMarkup);
    // Restyles the box (and its constructed owned children) when its rules test the attribute.
    virtual void UpdateStateStyles(oxAtom attribute);
    // Drops the records of the subtree and resolves them afresh.
    virtual void RestyleTree();
    bool IsTransformed();
    void MarkTransformed(bool on);
    // {left, top, right, bottom} from the metrics group.
    oxRect GetMargins();
    oxRect GetPadding();
    // A keyword id: vertical for "vbox", else the layout group's `orient`; -1 for a non-keyword.
    int GetOrientation();
    // Which of top/bottom (1, 3, 5) and left/right (4, 2, 5) are set; outputs stay when neither is.
    oxMetricsGroup* GetEdgeAnchoring(int* outV, int* outH);
    const oxStyleDeclaration* GetInlineStyle() const { return inlineStyle_; }
    // The record whose values are compared around a style write, unresolved.
    virtual oxBoxStyle* TracksValueChanges() { return style_; }
    // Stroke width changed from `oldWidth`: the paint outsets are measured again.
    virtual void OnStrokeWidthChanged(int32_t oldWidth);
    virtual void Remeasure() {}
    virtual void OnLayoutStyleChanged() {}

    // Hooks that the layout, paint and frame code fill in; the base versions do what the tree itself
    // needs and nothing more.
    virtual void RequestRepaint();
    virtual void RequestLayout();
    virtual void UpdateFrameBounds(bool flag);
    // After a change the native frames must follow (an animation's fill, a layout pass): an
    // anchored box that shows passes it on to its anchor; the box's own frame is fitted unless the
    // box is deflated. Boxes that host a native window move and show it here.
    virtual void RefreshFrame();
    virtual void CloseAnchoredPopup();
    virtual void Blur();
    virtual void SetLayered(bool on);
    virtual void RefreshDependants();
    virtual void InvalidateMeasure();
    // Clears the cached frame position of the box and, when deep, of its subtree.
    virtual void InvalidateSubtree(bool self, bool deep);
    // Marks the box and its ancestors up to the nearest popup as needing layout.
    void InvalidateUpToPopup();
    // Marks every ancestor up to the first already marked as having a dirty subtree.
    void MarkAncestorsDirty();
    void ClearMeasureMarks();
    void PropagateDisabled(bool on);

    // Fields that later stages own; held here as seams.
    oxAtom GetStyleId() const { return styleId_; }
    oxBoxStyle* GetStyleRecord() const { return style_; }
    oxElement* GetGadgetElement() const;
    oxBoxGadget* GetGadget() const { return gadget_; }
    // Installs the gadget instantiated on this box (null drops it); the gadget learns of the box.
    void SetGadget(oxBoxGadget* gadget);
    // Counts the style records built for this box; benchmarks and tests read it.
    uint32_t GetRestyleCount() const { return restyles_; }
    const oxRect& GetBounds() const { return bounds_; }

    // Geometry (box_geometry.cpp). Six packed entries of two signed 24-bit values: 0 the position in
    // the parent, 1 the size, 2 the content origin in the box, 3 the content size, 4 the pair that
    // scroll bars adjust, 5 the cached position in the frame. Out-of-range values are refused.
    oxPoint GetPacked(int entry) const { return geometry_[entry]; }
    // False when the pair is unchanged or out of range.
    bool SetPacked(int entry, const oxPoint& value);
    void SetBoxSize(const oxPoint& size);
    void SetContentSize(const oxPoint& size);
    virtual void SetBoxPosition(const oxPoint& position);
    oxRect GetBoxRect() const;
    oxRect GetContentRect() const;
    oxRect GetContentRectWithScrollbars();
    oxPoint GetFramePosition();
    // The box rectangle in the client coordinates of the frame that shows it: at the origin for a
    // box with a frame of its own, else at its frame position less what its ancestors scrolled.
    oxRect GetFrameClientRect();
    // The part of the box rectangle that shows, in the same coordinates: cut by every ancestor that
    // clips its overflowing content; all zero when nothing of it shows.
    oxRect GetVisibleRect();
    // The box's position summed up its logical parents to the nearest layered box above it, or to
    // the nearest "stack" layer root: where the box stands in what that layer paints.
    oxPoint GetLayerOffset() const;
    oxPoint GetLayerRootOffset() const;
    virtual oxPoint GetIntrinsicSize() { return {}; }
    // Stores the placement, lets the layout place the children, arranges scroll bars and layers.
    virtual void Arrange(oxPlacementRecord* placement);
    // Writes the placement's sizes into the geometry; a box that is not flowed also takes its place
    // from its own `left`/`top` (or `right`/`bottom`), resolved against its logical parent's content.
    virtual void ApplyPlacementToStyle(oxPlacementRecord* placement);
    // A geometry value (`top` ... `height`) in pixels: a percentage of the logical parent's content
    // size, "center", "start" and "end" resolved; false when unset or left to layout.
    bool ResolveEdgeValue(int propertyId, int32_t* out);
    // Turns percentages and placing keywords of `top`, `right`, `left`, `bottom`, `width` and
    // `height` into pixel values as they resolve now.
    void ResolvePercentGeometry();
    const oxPlacementRecord* GetPlacement() const { return placement_; }
    // One child alone changed: its layout places it and the children it moves, in this box's last
    // placement, when that gives what arranging the whole box again would. False when the box must
    // be arranged again (the child may have been arranged meanwhile). The box's "layout" event is
    // left to the caller, once however many children it followed (AnnounceLayout).
    bool FollowChildChange(oxBox* child);
    void AnnounceLayout();
    // The layout, made on first use for the box's type; null when none can be made.
    virtual oxLayout* GetLayout();
    oxLayout* GetLayoutIfMade() const { return layout_; }
    // Installs a layout (taking ownership), deleting the previous one.
    virtual void SetLayout(oxLayout* layout);
    // The `view` attribute: installs the layout a qualified name names; unknown names change nothing.
    void SetLayoutView(const WCHAR* value);
    // The pointer the box shows when its style names none (a style keyword number); 0 leaves it to
    // the parent.
    virtual int32_t GetDefaultCursor() { return 0; }
    // The deepest box under a point given in the parent's coordinates, or null.
    virtual oxBox* HitTest(const oxPoint& point);
    // With `dir` "rtl", reverses the children in place.
    virtual void ApplyRtlOrder();
    // The bounds (box rectangle grown by the paint outsets), recomputed when out of date.
    const oxRect& UpdateBounds();

    // Scrolling (box_scrolling.cpp).
    virtual void SetScrollX(int32_t x);
    virtual void SetScrollY(int32_t y);
    virtual void ScrollByX(int32_t delta);
    virtual void ScrollByY(int32_t delta);
    virtual void ScrollToBox(oxBox* target);
    // The layout scrolls so that the row is its first visible one (layouts that arrange rows).
    virtual void ScrollToRow(int32_t row);
    int32_t GetScrollX();
    int32_t GetScrollY();
    int32_t GetScrollRangeX();
    int32_t GetScrollRangeY();
    // The painted content moves by a delta after a scroll.
    virtual void ScrollPaintedContent(const oxPoint& delta);
    bool IsOverflowHidden();
    bool IsOverflowScroll();
    oxBox* FindVScrollBar() const;
    oxBox* FindHScrollBar() const;
    // For a scroll bar box: the box it scrolls, or null.
    oxBox* GetScrolledBox() const;
    // A scroll bar box made by the scene, or null.
    virtual oxBox* CreateScrollbar(bool vertical);
    oxRect GetHScrollBarRect() const;
    oxRect GetVScrollBarRect() const;
    virtual void ArrangeScrollbars(oxPlacementRecord* placement);
    // Lays each shown scroll bar along the far edge of the content area.
    virtual void PlaceScrollbars(oxPlacementRecord* placement);
    // What the shown scroll bars take: the vertical one's width, the horizontal one's height. With a
    // placement the bars are placed first.
    struct ScrollbarSpace {
        bool vertical = false, horizontal = false;
        int32_t width = 0, height = 0;
    };
    void GetScrollbarSpace(oxPlacementRecord* placement, ScrollbarSpace* out);

    // Painting (box_paint.cpp).
    virtual void Paint(oxCanvas* canvas);
    virtual void PaintBackground(oxCanvas* canvas);
    virtual void PaintContent(oxCanvas* canvas) { (void)canvas; }
    virtual void PaintScrollCorner(oxCanvas* canvas);
    virtual void PaintStroke(oxCanvas* canvas, int layer);
    static void PaintChild(oxCanvas* canvas, oxBox* box);
    void PaintLayers(oxCanvas* canvas, bool upper, bool stackMode, bool below);
    // The box's own drawing onto `draw`, its box paint steps pushed on the outer canvas.
    void PaintOnto(oxCanvas* canvas, oxCanvas* draw);
    void ApplyClipStyle(oxCanvas* canvas);
    void ClipToContent(oxCanvas* canvas, bool withScrollbars);
    void PaintScrollbars(oxCanvas* canvas);
    bool NeedsOwnCanvas();
    // The paint outsets {top, right, bottom, left}, measured when out of date.
    const int16_t* GetPaintOutsets();
    // The area a paint must touch for the box not to be culled.
    oxRect GetPaintArea() const;

protected:
    static uint32_t HighestBit(uint32_t v) { return v ? 1u << (31 - __builtin_clz(v)) : 0; }
    void SetMode(uint32_t group, uint32_t value, oxAtom attribute);
    // The common road of the simple state setters: test, store, announce, restyle.
    void SetSimpleState(uint32_t mask, oxAtom attribute, bool value, bool announce, bool restyle);

private:
    struct ChildArray;
    // A box that is not flowed moves to where its edge values put it in its logical parent.
    void PlaceByStyle(const oxPoint& area);
    static ChildArray* EmptyChildren();
    bool EnsureChildCapacity(int count, int extra);
    void DestroyChildrenNow();
    static void DeleteBox(oxBox* box);
    static void ClearOwnerBelow(oxBox* box, oxBox* owner);
    bool OwnerMappedState(oxAtom state, bool value, bool forced);
    void PropagateHiddenToChildren(bool value);
    void ReactToStyleChange(oxBoxStyle* old, oxBoxStyle* now);
    void EnsureInlineStyle();
    void DropSideTables();
    void DropDataBindings();
    // The one-shot timer entry of an animated fill picture, kept in a side table by box.
    bool HasFillTimer() const;
    void StartFillTimer(int32_t delay);
    void StopFillTimer();
    int32_t SetBooleanAttribute(oxAtom attribute, const WCHAR* value, bool forced);
    // The frame already made for the box or its nearest framed ancestor; makes none.
    oxBoxFrame* FindFrameEntry() const;
    bool PaintsUnculled() const;
    void DropFrame();
    // Shows or hides the box's own frame as the box now shows.
    void RefreshOwnFrame();
    // Unregisters every layer registered with this box as its layer root.
    void ReleaseLayerList();

    uint32_t refCount_ = 1;
    oxBoxScene* scene_ = nullptr;
    oxBox* parent_ = nullptr;
    oxBox* owner_ = nullptr;
    bool ownsParts_ = false; // once some box named this one its owner; lets teardown skip the search
    ChildArray* children_;
    int32_t index_ = -1;
    oxAttributeMap* attributes_ = nullptr;
    uint32_t changeFlags_ = 1;
    uint32_t stateFlags_ = 0;
    uint32_t modeFlags_ = 0;
    uint16_t presence_ = 0;
    uint16_t word2_ = 0;
    oxAtom styleId_ = 0;
    oxBoxStyle* style_ = nullptr;
    oxStyleDeclaration* inlineStyle_ = nullptr;
    oxBoxGadget* gadget_ = nullptr;
    oxLayout* layout_ = nullptr;
    oxPoint geometry_[6] = {};
    oxPlacementRecord* placement_ = nullptr;
    oxRect bounds_;
    int16_t outsets_[4] = {};
    uint8_t flagByte_ = 0;
    uint32_t restyles_ = 0;
    oxFillCrossFade* fillFade_ = nullptr; // owned

public:
    // The cross-fade that paints in place of the fill while a fill animation runs; the box takes
    // it (null ends it) and repaints.
    oxFillCrossFade* GetFillCrossFade() const { return fillFade_; }
    void SetFillCrossFade(oxFillCrossFade* fade);
};
