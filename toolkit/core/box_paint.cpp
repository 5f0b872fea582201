// The box's side of the paint pass: culling, the canvas it draws into, the order of background,
// stroke, content, layers, children and scroll bars, the clip steps, and the paint outsets that make
// a repaint reach what the box draws outside itself. The drawing itself is the box painter's.
#include "toolkit/core/box.h"

#include <algorithm>
#include <cstdint>

#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

namespace {

oxBoxPaintServices gNoServices;
oxBoxPaintServices* gServices = &gNoServices;
oxBoxSnapshotRegistry* gSnapshots = nullptr;

bool IsKeyword(const oxStyleValue* v, int keyword) {
    return v && v->GetType() == kStyleKeyword && v->GetValue() == keyword;
}

// Where a box's logical parent stands relative to `root`; false when the chain does not reach it.
bool OffsetTo(oxBox* box, oxBox* root, oxPoint* out) {
    oxPoint at{0, 0};
    oxBox* b = box->GetLogicalParent();
    for (; b && b != root; b = b->GetLogicalParent()) {
        at.x += b->GetPacked(0).x;
        at.y += b->GetPacked(0).y;
    }
    *out = at;
    return b == root;
}

} // namespace

oxBoxPaintServices& oxGetBoxPaintServices() {
    return *gServices;
}

void oxSetBoxPaintServices(oxBoxPaintServices* services) {
    gServices = services ? services : &gNoServices;
}

oxBoxSnapshotRegistry* oxGetBoxSnapshotRegistry() {
    return gSnapshots;
}

void oxSetBoxSnapshotRegistry(oxBoxSnapshotRegistry* registry) {
    gSnapshots = registry;
}

const int16_t* oxBox::GetPaintOutsets() {
    if (presence_ & kMarkPaintOutsets) return outsets_;
    for (int16_t& o : outsets_)
        o = 0;
    // The root of its own native frame draws nothing outside it.
    bool frameRoot = (changeFlags_ & kChangeFramed) && !parent_;
    oxBoxStyle* style = frameRoot ? nullptr : ResolveStyle();
    if (style) {
        // Each outset stops at the largest a 16-bit outset holds, however wide the stroke or shadow.
        auto widen = [](int16_t& o, int32_t by) { o = int16_t(std::clamp<int64_t>(int64_t(o) + by, 0, INT16_MAX)); };
        if (oxStyleGroup* stroke = style->GetStrokeGroup()) {
            const oxStyleValue* c = stroke->Member(kStyle_stroke);
            bool colour = c->GetType() == kStyleColor || c->GetType() == kStyleSysColor;
            if (colour && c->GetColor() != 0) {
                int32_t half = oxClampLength(stroke->Member(kStyle_strokeWidth)->GetInt()) / 2;
                for (int16_t& o : outsets_)
                    widen(o, half);
            }
        }
        int32_t shadow[4] = {0, 0, 0, 0}; // left, top, right, bottom
        if (oxGetBoxPaintServices().GetShadowExtents(style, shadow)) {
            widen(outsets_[3], shadow[0]);
            widen(outsets_[0], shadow[1]);
            widen(outsets_[1], shadow[2]);
            widen(outsets_[2], shadow[3]);
        }
        if (oxStyleGroup* text = style->GetTextGroup()) {
            int32_t x = oxClampLength(text->Member(kStyle_textShadowOffsetX)->GetInt());
            int32_t y = oxClampLength(text->Member(kStyle_textShadowOffsetY)->GetInt());
            if (x < 0) widen(outsets_[3], -x);
            if (x > 0) widen(outsets_[1], x);
            if (y < 0) widen(outsets_[0], -y);
            if (y > 0) widen(outsets_[2], y);
        }
    }
    presence_ |= kMarkPaintOutsets;
    return outsets_;
}

// The box rectangle in its parent's coordinates, grown by the paint outsets: the canvas a box is
// painted on has its origin at the parent, so the clip is compared in those coordinates.
oxRect oxBox::GetPaintArea() const {
    oxRect r = GetBoxRect();
    r.InflateBy(outsets_[0], outsets_[1], outsets_[2], outsets_[3]);
    return r;
}

namespace {

// An MDI container paints the backgrounds of its embedded scenes on the outer canvas, each where
// the scene stands in the frame.
void PaintEmbeddedSceneBackgrounds(oxCanvas* canvas, oxBox* container) {
    oxBoxPaintServices& s = oxGetBoxPaintServices();
    const oxPoint origin = container->GetFramePosition();
    for (int i = 0, n = container->GetChildCount(); i < n; ++i) {
        oxBox* child = container->GetChildAt(i, false);
        if (child->GetBoxType() != kAtomEmbeddedScene || child->IsCollapsed() || child->IsEffectivelyHidden()) continue;
        const oxPoint at = child->GetFramePosition();
        const int32_t dx = int32_t(int64_t(at.x) - origin.x), dy = int32_t(int64_t(at.y) - origin.y);
        s.OffsetOrigin(canvas, dx, dy);
        child->PaintBackground(canvas);
        s.OffsetOrigin(canvas, -dx, -dy);
    }
}

} // namespace

void oxBox::Paint(oxCanvas* canvas) {
    oxBoxPaintServices& s = oxGetBoxPaintServices();
    UpdateBounds();
    oxRect clip;
    bool culled = !PaintsUnculled() && s.GetClipRect(canvas, &clip) && !clip.Intersects(GetPaintArea());
    // A source snapshot is drawn over the box; a target snapshot takes what the box paints.
    oxCanvas* source = nullptr;
    oxCanvas* target = nullptr;
    bool hasSource = false, hasTarget = false, transparent = false;
    if (gSnapshots) {
        bool unused;
        hasSource = gSnapshots->FindSnapshot(this, 1, &source, &unused);
        hasTarget = gSnapshots->FindSnapshot(this, 0, &target, &transparent);
    }
    if (!culled) {
        ResolveStyle();
        oxCanvas* draw = canvas;
        oxCanvas* own = nullptr;
        bool framed = (changeFlags_ & kChangeFramed) != 0;
        const int16_t* out = GetPaintOutsets();
        bool drawing = true;
        if (hasTarget) {
            drawing = target && s.PrepareSnapshotCanvas(target, geometry_[1].x, geometry_[1].y, transparent);
            draw = target;
            if (drawing) {
                s.OffsetOrigin(draw, out[3], out[0]);
                if (!transparent) {
                    const oxRect area = GetPaintArea();
                    s.DrawCanvas(draw, canvas, {0, 0, geometry_[1].x, geometry_[1].y}, &area);
                }
            }
        } else if (NeedsOwnCanvas() && (!framed || (changeFlags_ & kChangeTranslucent))) {
            own = s.CreateBoxLayerCanvas(this, geometry_[1].x, geometry_[1].y);
            if (own) draw = own;
        }
        if (drawing) PaintOnto(canvas, draw);
        if (drawing && hasTarget) {
            s.FinishSnapshotCanvas(canvas, draw, this, !hasSource);
            s.OffsetOrigin(draw, -out[3], -out[0]);
        } else if (own) {
            s.CompositeBoxLayerCanvas(canvas, own, this);
        }
        if (drawing && GetBoxType() == kAtomMDIContainer) PaintEmbeddedSceneBackgrounds(canvas, this);
        if (drawing) s.EndBoxPaint(canvas, this);
    }
    if (hasSource && source) {
        const int16_t* out = GetPaintOutsets();
        s.BeginBoxPaint(canvas, this);
        s.DrawCanvas(canvas, source, {-out[3], -out[0], bounds_.width, bounds_.height}, nullptr);
        s.EndBoxPaint(canvas, this);
    }
    changeFlags_ &= ~(kChangeRepaintPending | kChangeSubtreeDirty);
    if (!(changeFlags_ & kChangePainted) && scene_) {
        changeFlags_ |= kChangePainted;
        scene_->QueuePresented(this);
    }
}

// The box's own drawing, from BeginBoxPaint on the outer canvas to its scroll bars on `draw`.
void oxBox::PaintOnto(oxCanvas* canvas, oxCanvas* draw) {
    oxBoxPaintServices& s = oxGetBoxPaintServices();
    bool stack = (changeFlags_ & (kChangeLayered | kChangeLayerStack)) == (kChangeLayered | kChangeLayerStack);
    s.BeginBoxPaint(canvas, this);
    if (stack) PaintLayers(draw, false, true, false);
    PaintLayers(draw, true, false, true);
    ApplyClipStyle(draw);
    PaintBackground(draw);
    PaintStroke(draw, kKeywordBelow);
    ClipToContent(draw, true);
    s.PushClip(draw);
    ClipToContent(draw, false);
    PaintContent(draw);
    PaintLayers(draw, false, false, false);
    if (GetChildCount() > 0) {
        if (oxLayout* layout = GetLayout()) {
            s.PushClip(draw);
            s.PushMatrix(draw);
            layout->PaintChildren(draw, this);
            s.PopMatrix(draw);
            s.PopClip(draw);
        }
    }
    PaintLayers(draw, true, false, false);
    PaintScrollCorner(draw);
    PaintStroke(draw, kKeywordAbove);
    if (stack) PaintLayers(draw, true, true, false);
    s.PopClip(draw);
    PaintScrollbars(draw);
}

void oxBox::PaintChild(oxCanvas* canvas, oxBox* box) {
    if (!box || box->IsCollapsed() || box->IsEffectivelyHidden() || (box->GetStateFlags() & kStateExcluded)) return;
    // A box with a native frame of its own is painted by that frame, in its window; the paint here
    // only clips that window to what the canvas leaves visible of the box.
    if (box->TestChangeFlags(kChangeFramed)) {
        if (box->HasSideTableEntry(kHasFrame)) {
            if (oxBoxFrame* frame = box->GetFrame()) frame->UpdateWindowShape(canvas);
        }
        return;
    }
    box->Paint(canvas);
}

// The layer list is split by zIndex: the lower part (negative) paints under the children and under
// the stroke, the upper part over them; "below" layers of the upper part go under the background.
void oxBox::PaintLayers(oxCanvas* canvas, bool upper, bool stackMode, bool below) {
    oxBoxPaintServices& s = oxGetBoxPaintServices();
    const int boundary = GetLayerBoundary();
    for (int i = upper ? boundary : 0, end = upper ? GetLayerCount() : boundary; i < end; ++i) {
        oxBox* layer = GetLayerAt(i);
        if (layer == this) continue;
        bool isStack = layer->TestChangeFlags(kChangeLayerStack);
        if (stackMode != isStack) continue;
        if (stackMode) {
            oxBox* anchor = layer->GetAnchor();
            if (!anchor) continue;
            if (anchor == this) {
                PaintChild(canvas, layer);
                continue;
            }
        } else if (layer->TestChangeFlags(kChangeLayerBelow) != below) {
            continue;
        }
        oxPoint at;
        if (isStack && layer->FindLayerRoot() == this)
            at = layer->GetLogicalParent()->GetLayerRootOffset();
        else if (!OffsetTo(layer, this, &at))
            continue;
        if (at.x == 0 && at.y == 0) {
            PaintChild(canvas, layer);
            continue;
        }
        s.PushMatrix(canvas);
        s.OffsetOrigin(canvas, at.x, at.y);
        PaintChild(canvas, layer);
        s.PopMatrix(canvas);
    }
}

void oxBox::ApplyClipStyle(oxCanvas* canvas) {
    oxBoxStyle* style = ResolveStyle();
    auto* clip = style ? static_cast<oxClipGroup*>(style->GetClipGroup()) : nullptr;
    if (!clip || !(clip->HasEdges() || IsKeyword(clip->Member(kStyle_clipMode), kKeywordReplace))) return;
    oxRect sides; // {left, top, right, bottom}
    clip->GetClipRect(&sides, geometry_[1]);
    oxRect r{0, 0, geometry_[1].x, geometry_[1].y};
    r.DeflateBy(sides.y, sides.width, sides.height, sides.x);
    oxGetBoxPaintServices().IntersectClip(canvas, r);
}

void oxBox::ClipToContent(oxCanvas* canvas, bool withScrollbars) {
    bool overflowed = (stateFlags_ & kStateOverflowed) && (IsOverflowHidden() || IsOverflowScroll());
    if (!overflowed && tag_ != kAtomScrollbar) return;
    oxRect r = withScrollbars ? GetContentRectWithScrollbars() : GetContentRect();
    oxBoxStyle* style = ResolveStyle();
    auto* clip = style ? static_cast<oxClipGroup*>(style->GetClipGroup()) : nullptr;
    if (clip && clip->HasEdges()) {
        oxRect sides;
        clip->GetClipRect(&sides, geometry_[1]);
        // Negative sides reach outside the content; positive ones do not narrow it.
        r.InflateBy(sides.y < 0 ? -sides.y : 0, sides.width < 0 ? -sides.width : 0,
                    sides.height < 0 ? -sides.height : 0, sides.x < 0 ? -sides.x : 0);
    }
    oxGetBoxPaintServices().IntersectClip(canvas, r);
}

void oxBox::PaintScrollbars(oxCanvas* canvas) {
    PaintChild(canvas, FindVScrollBar());
    PaintChild(canvas, FindHScrollBar());
}

bool oxBox::NeedsOwnCanvas() {
    oxBoxStyle* style = ResolveStyle();
    if (!style) return false;
    if (auto* color = static_cast<oxColorGroup*>(style->GetColorGroup()); color && color->NeedsLayer()) return true;
    if (oxStyleGroup* shadow = style->GetShadowGroup();
        shadow && IsKeyword(shadow->Member(kStyle_shadowKeying), kKeywordAlpha))
        return true;
    if (oxStyleGroup* fill = style->GetFillGroup()) {
        const oxStyleValue* mask = fill->Member(kStyle_mask);
        if (mask->GetType() == kStyleUrl || IsKeyword(mask, kKeywordAuto)) return true;
    }
    return false;
}

void oxBox::PaintBackground(oxCanvas* canvas) {
    oxBoxStyle* style = ResolveStyle();
    if (!style) return;
    oxBoxPaintServices& s = oxGetBoxPaintServices();
    oxRect r{0, 0, geometry_[1].x, geometry_[1].y};
    s.PaintBoxShadow(canvas, this, r, style);
    if (fillFade_)
        s.PaintBoxFillCrossFade(canvas, scene_, r, style, fillFade_);
    else
        s.PaintBoxFill(canvas, scene_, r, style);
    // A fill picture of several frames steps on the box's timer, started here while it is painted.
    if (!HasFillTimer()) {
        const int32_t delay = s.StepFillAnimation(scene_, style, false);
        if (delay != -1) StartFillTimer(delay);
    }
}

void oxBox::PaintStroke(oxCanvas* canvas, int layer) {
    oxBoxStyle* style = ResolveStyle();
    oxStyleGroup* stroke = style ? style->GetStrokeGroup() : nullptr;
    if (!stroke || !IsKeyword(stroke->Member(kStyle_strokeLayer), layer)) return;
    oxGetBoxPaintServices().PaintBoxStroke(canvas, scene_, {0, 0, geometry_[1].x, geometry_[1].y}, style);
}

void oxBox::PaintScrollCorner(oxCanvas* canvas) {
    oxBoxStyle* style = ResolveStyle();
    if (!style) return;
    ScrollbarSpace space;
    GetScrollbarSpace(nullptr, &space);
    int32_t w = geometry_[1].x - space.width;
    int32_t h = geometry_[1].y - space.height;
    if (w > 0 && h > 0) oxGetBoxPaintServices().PaintBoxScrollCorner(canvas, {0, 0, w, h}, style);
}
