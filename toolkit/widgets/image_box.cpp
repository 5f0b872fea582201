#include "toolkit/widgets/image_box.h"

#include <cstdio>
#include <new>

#include "graphics/paint/box_drawing.h"
#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"
#include "platform/crt/wide.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

using NUBO::TWString;

namespace {

oxBox* MakeImageBox(oxAtom tag) {
    return new (std::nothrow) oxImageBox(tag);
}

// ':' followed by '/' or '\' within the first ten characters.
bool HasScheme(const WCHAR* text) {
    for (int i = 0; i < 10 && text[i]; ++i)
        if (text[i] == u':') return text[i + 1] == u'/' || text[i + 1] == u'\\';
    return false;
}

const oxStyleValue* Metric(oxBox* box, int id) {
    oxBoxStyle* style = box->GetStyle();
    const oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr;
    const oxStyleValue* v = metrics ? metrics->Member(id) : nullptr;
    return v && !v->IsNull() ? v : nullptr;
}

bool IsAspect(const oxStyleValue* v) {
    return v && v->GetType() == kStyleKeyword && v->GetValue() == kKeywordAspect;
}

bool IsUnsetOrAuto(const oxStyleValue* v) {
    return !v || (v->GetType() == kStyleKeyword && v->GetValue() == kKeywordAuto);
}

// A pixel value, or -1 for a keyword or nothing.
int32_t Pixels(const oxStyleValue* v) {
    return v && v->GetType() != kStyleKeyword ? v->GetInt() : -1;
}

// Scales (w, h) to fit inside (maxW, maxH) keeping its proportions.
oxPoint ScaleToFit(oxPoint size, int32_t maxW, int32_t maxH) {
    if (size.x <= 0 || size.y <= 0) return size;
    if (int64_t(maxW) * size.y <= int64_t(maxH) * size.x)
        return {maxW, int32_t(int64_t(maxW) * size.y / size.x)};
    return {int32_t(int64_t(maxH) * size.x / size.y), maxH};
}

oxLibrary* LibraryOf(oxBoxScene* scene) {
    return dynamic_cast<oxLibrary*>(scene);
}

} // namespace

void oxRegisterImageBoxKind() {
    oxBoxFactory::RegisterKind(kAtomImage, &MakeImageBox);
}

oxImageBox::oxImageBox(oxAtom tag) : oxBox(tag) {}

oxImageBox::~oxImageBox() {
    StopTimer();
    DropBitmap();
}

void oxImageBox::StopTimer() {
    if (!timer_) return;
    // The queue owns the entry; cancelling through it never touches an entry it has already dropped.
    if (oxTimerQueue* queue = oxTimerQueue::Instance()) queue->RemoveByTarget(this);
    timer_ = nullptr;
}

void oxImageBox::DropBitmap() {
    if (!bitmap_) return;
    bitmap_->RemoveListener(this);
    if (ownsBitmap_) delete bitmap_;
    bitmap_ = nullptr;
    ownsBitmap_ = false;
    mirrored_ = false;
}

void oxImageBox::SetSrc(const WCHAR* text) {
    const bool given = text && *text;
    if (given ? (src_.GetString() && wcscmp(src_.GetString(), text) == 0) : src_.IsEmpty()) return;
    StopTimer();
    if (given) {
        if (HasScheme(text) || text[0] == u'#' || !GetScene()) {
            src_ = text;
        } else {
            TWString path;
            oxLibrary* library = LibraryOf(GetScene());
            ResolveUriToPath(text, library && !library->GetBase().IsEmpty() ? library->GetBase().GetString() : nullptr,
                             path);
            src_ = path;
        }
    } else {
        RequestLayout();
        UpdateFrameBounds(false);
        src_.Empty();
    }
    DropBitmap();
    reported_ = false;
    if (given) {
        Load();
        RequestLayout();
        UpdateFrameBounds(false);
        SetChangeFlag(kChangeSubtreeDirty, true);
    }
    currentFrame_ = 0;
    repeatsDone_ = 0;
    frameCount_ = 1;
}

bool oxImageBox::LoadFromStream(NUBO::XStream* stream) {
    if (!stream) return false;
    StopTimer();
    DropBitmap();
    src_.Empty();
    reported_ = false;
    currentFrame_ = 0;
    repeatsDone_ = 0;
    frameCount_ = 1;
    bitmap_ = new (std::nothrow) oxBitmapElement(u"");
    if (!bitmap_) return false;
    ownsBitmap_ = true;
    bitmap_->AddListener(this);
    const bool decoded = bitmap_->SetSrcObject(stream);
    RequestLayout();
    UpdateFrameBounds(false);
    SetChangeFlag(kChangeSubtreeDirty, true);
    return decoded;
}

void oxImageBox::SetFramesRepeatCount(int32_t count) {
    repeatLimit_ = count < 0 ? -1 : count + 1;
    repeatsDone_ = 0;
}

void oxImageBox::Load() {
    if (!GetScene() || src_.IsEmpty() || bitmap_) return;
    oxUri uri(src_.GetString());
    const WCHAR* fragment = uri.GetFragment();
    if (fragment && *fragment) {
        oxLibrary* library = LibraryOf(GetScene());
        oxElement* found = library ? library->FindThemeResource(src_.GetString()) : nullptr;
        if (!found && library) found = library->FindResourceByUri(src_.GetString());
        if (found && (found->GetTag() == kAtomBitmap || found->GetTag() == kAtomImageElement)) {
            bitmap_ = dynamic_cast<oxBitmapElement*>(found);
            if (bitmap_) bitmap_->AddListener(this);
            ownsBitmap_ = false;
        }
        return;
    }
    // A path that climbs out of the resources folder is never opened.
    TWString path;
    bool local = true;
    if (HasScheme(src_.GetString()))
        local = UriToLocalPath(uri, path) == 1;
    else
        path = src_;
    if (!local) path = src_;
    if (local && !ConfineToResources(path)) path.Empty();
    bitmap_ = path.IsEmpty() ? nullptr : new (std::nothrow) oxBitmapElement(path.GetString());
    ownsBitmap_ = bitmap_ != nullptr;
    if (bitmap_) {
        bitmap_->AddListener(this);
        bitmap_->Prepare();
    }
    // Reported once per source: the box then stays empty without asking again.
    if ((!bitmap_ || bitmap_->GetFrameCount() == 0) && !reported_) {
        reported_ = true;
        oxLibrary* library = LibraryOf(GetScene());
        if (library && library->GetRuntime()) library->GetRuntime()->ReportFileNotFound(src_.GetString());
    }
}

void oxImageBox::OnBitmapChanged(oxBitmapElement* bitmap) {
    if (bitmap != bitmap_) return;
    RequestLayout();
    UpdateFrameBounds(false);
    oxDOMEvent loaded(kAtomUrlLoadComplete, this, nullptr);
    HandleEvent(&loaded);
}

void oxImageBox::OnBitmapDestroyed(oxBitmapElement* bitmap) {
    if (bitmap != bitmap_) return;
    // A shared resource went first.
    StopTimer();
    bitmap_ = nullptr;
    ownsBitmap_ = false;
    RequestLayout();
}

oxBitmapElement* oxImageBox::GetPicture() {
    Load();
    oxBitmapElement* picture = bitmap_ ? bitmap_ : IconPicture();
    if (!picture || !GetScene()) return picture;
    picture->Prepare();
    bool mirror = false;
    if (GetScene()->IsRightToLeft()) {
        const WCHAR* dir = oxBox::GetAttribute(kAtomDir);
        mirror = !(dir && _wcsicmp(dir, u"rtl") == 0);
    }
    if (mirror != mirrored_ && picture->MirrorCurrentFrame()) mirrored_ = !mirrored_;
    frameCount_ = picture->GetFrameCount();
    StartTimerIfDue(picture);
    return picture;
}

oxBitmapElement* oxImageBox::IconPicture() {
    oxBoxStyle* style = GetStyle();
    oxFillGroup* fill = style ? style->GetFillGroup() : nullptr;
    oxStyleLibrary* library = GetScene() ? GetScene()->GetStyleLibrary() : nullptr;
    return fill && library ? dynamic_cast<oxBitmapElement*>(fill->GetIconResource(library)) : nullptr;
}

void oxImageBox::StartTimerIfDue(oxBitmapElement* picture) {
    if (frameCount_ < 2 || timer_) return;
    const int32_t delay = picture->GetFrameDelay(currentFrame_);
    if (delay == -1 || (repeatLimit_ != -1 && repeatsDone_ >= repeatLimit_)) return;
    timer_ = oxTimerQueue::StartOneShot(DWORD(delay < 0 ? 0 : delay), this);
}

void oxImageBox::OnTimer(oxTimerEntry* entry) {
    (void)entry;
    const bool wasPending = timer_ != nullptr;
    timer_ = nullptr; // a one-shot entry: the queue drops it after this call
    if (oxBitmapElement* picture = bitmap_ ? bitmap_ : IconPicture()) {
        ++currentFrame_;
        if (picture->GetFrameCount() != frameCount_) {
            frameCount_ = picture->GetFrameCount();
            currentFrame_ = repeatsDone_ = 0;
        }
        if (currentFrame_ >= frameCount_) {
            currentFrame_ = 0;
            ++repeatsDone_;
        }
        if (!wasPending) StartTimerIfDue(picture);
    }
    RequestRepaint();
    SetChangeFlag(kChangeSubtreeDirty, true);
}

void oxImageBox::PaintContent(oxCanvas* canvas) {
    oxBitmapElement* picture = GetPicture();
    if (!picture || !canvas) return;
    const oxDibBitmap* frame = picture->GetFrame(frameCount_ < 2 ? -1 : currentFrame_);
    const oxRect content = GetContentRect();
    if (!frame || content.width <= 0 || content.height <= 0) return;
    DrawResourceImage(canvas, oxCanvasRect{content.x, content.y, content.width, content.height}, frame,
                      kFillAxisUnset);
}

oxPoint oxImageBox::GetImageSize() {
    oxPoint size{0, 0};
    if (oxBitmapElement* picture = GetPicture()) {
        picture->GetSize(&size.x, &size.y);
    } else if (const oxDibBitmap* fill = oxBoxPainter::GetBoxFillBitmap(GetStyle(), GetScene())) {
        size = {fill->width, fill->height};
    }
    return size;
}

oxPoint oxImageBox::ApplyAspect(oxPoint natural, int32_t givenWidth, int32_t givenHeight, bool fromLayout) {
    const oxStyleValue* width = Metric(this, kStyle_width);
    const oxStyleValue* height = Metric(this, kStyle_height);
    const bool wAspect = IsAspect(width), hAspect = IsAspect(height);
    if (!wAspect && !hAspect) return natural;
    const int32_t w = natural.x, h = natural.y;
    if ((wAspect && hAspect) || (wAspect && IsUnsetOrAuto(height)) || (hAspect && IsUnsetOrAuto(width))) {
        int32_t maxW = Pixels(Metric(this, kStyle_maxWidth)), maxH = Pixels(Metric(this, kStyle_maxHeight));
        if (fromLayout) {
            // The size the layout assigns is the limit, the natural size when no maximum is set.
            maxW = maxW > 0 ? std::min(maxW, givenWidth) : std::min(w, givenWidth);
            maxH = maxH > 0 ? std::min(maxH, givenHeight) : std::min(h, givenHeight);
        } else if (maxW <= 0 && maxH <= 0) {
            return natural;
        }
        if (maxW <= 0) maxW = w;
        if (maxH <= 0) maxH = h;
        if (w > maxW || h > maxH) return ScaleToFit(natural, maxW, maxH);
        return natural;
    }
    if (wAspect) {
        const int32_t H = fromLayout ? givenHeight : Pixels(height);
        if (H < 0 || h <= 0) return natural;
        return {int32_t(double(H) * w / h), H};
    }
    const int32_t W = fromLayout ? givenWidth : Pixels(width);
    if (W < 0 || w <= 0) return natural;
    return {W, int32_t(double(W) * h / w)};
}

oxPoint oxImageBox::GetIntrinsicSize() {
    return ApplyAspect(GetImageSize(), -1, -1, false);
}

void oxImageBox::Arrange(oxPlacementRecord* placement) {
    oxBox::Arrange(placement);
    if (!placement) return;
    if (!IsAspect(Metric(this, kStyle_width)) && !IsAspect(Metric(this, kStyle_height))) return;
    const oxPoint size = ApplyAspect(GetImageSize(), placement->width, placement->height, true);
    const int32_t p = std::max(0, Pixels(Metric(this, kStyle_paddingTop))) +
                      std::max(0, Pixels(Metric(this, kStyle_paddingBottom)));
    // The outer width takes the box's own horizontal padding, not the vertical sum.
    const oxRect padding = GetPadding();
    placement->width = size.x;
    placement->height = size.y;
    placement->outerWidth = size.x + padding.x + padding.width;
    placement->outerHeight = size.y + p;
    placement->SetExtra(true, true, size.x, size.y, 0, 0);
    SetBoxSize({placement->outerWidth, placement->outerHeight});
    SetContentSize(size);
}

const WCHAR* oxImageBox::GetAttribute(oxAtom attribute) {
    if (attribute == kAtomSrc) return src_.GetString() ? src_.GetString() : u"";
    if (attribute == kAtomFramesRepeatCount) {
        char text[20];
        std::snprintf(text, sizeof text, "%d", repeatLimit_);
        repeatText_.Empty();
        for (const char* c = text; *c; ++c)
            repeatText_ += WCHAR(*c);
        return repeatText_.GetString();
    }
    return oxBox::GetAttribute(attribute);
}

int32_t oxImageBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute == kAtomSrc) {
        SetSrc(value);
        return 0;
    }
    if (attribute == kAtomFramesRepeatCount) {
        SetFramesRepeatCount(value ? _wtoi(value) : -1);
        return 0;
    }
    return oxBox::SetAttribute(attribute, value, notify, forced);
}

void oxImageBox::SetChangeFlag(uint32_t mask, bool on) {
    if ((mask & kChangeAttached) && !on && TestChangeFlags(kChangeAttached)) {
        // Leaving the scene: a shared bitmap is no longer listened to, an owned one goes.
        StopTimer();
        DropBitmap();
    }
    oxBox::SetChangeFlag(mask, on);
}

void oxImageBox::OnSceneAttached() {
    if (!src_.IsEmpty() && !bitmap_) Load();
    oxBox::OnSceneAttached();
}

void oxImageBox::CloneInto(oxBox* target, bool keepBindingsIdle) {
    oxBox::CloneInto(target, keepBindingsIdle);
    auto* copy = dynamic_cast<oxImageBox*>(target);
    if (!copy) return;
    if (!src_.IsEmpty()) {
        copy->SetSrc(src_.GetString());
    } else if (ownsBitmap_ && bitmap_) {
        copy->bitmap_ = dynamic_cast<oxBitmapElement*>(bitmap_->Clone());
        copy->ownsBitmap_ = copy->bitmap_ != nullptr;
        if (copy->bitmap_) copy->bitmap_->AddListener(copy);
    }
}
