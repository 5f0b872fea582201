#include "toolkit/library/bitmap_element.h"

#include <cstring>
#include <memory>
#include <new>

#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder.h"
#include "graphics/paint/box_drawing.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/image_memory.h"
#include "graphics/raster/blitter.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_element.h"

using NUBO::TWString;

namespace {

// A picture is read whole into memory before it is decoded; the decoder refuses larger pictures.
constexpr int64_t kMaxSourceBytes = kMaxDecodeBytes;

// Pictures read from files: no scheme (a drive letter is none), "box", "ee" or "file". Every other
// scheme, known as an atom or not, is downloaded.
bool IsFileScheme(const oxUri& uri, const WCHAR* text) {
    if (uri.GetScheme() == kAtomBox || uri.GetScheme() == kAtomEe || uri.GetScheme() == kAtomFile) return true;
    if (uri.GetScheme() != 0) return false;
    for (size_t i = 0; i < 10 && text[i]; ++i)
        if (text[i] == u':') return i < 2 || (text[i + 1] != u'/' && text[i + 1] != u'\\');
    return true;
}

} // namespace

oxDibBitmap* CopyBitmap32(const oxDibBitmap* source, const RECT* rect) {
    if (!source || !source->valid || !source->pixels.HasPixels()) return nullptr;
    const RECT whole = source->GetBounds();
    const RECT r = rect ? *rect : whole;
    if (r.left < 0 || r.top < 0 || r.right > whole.right || r.bottom > whole.bottom || r.right <= r.left ||
        r.bottom <= r.top)
        return nullptr;
    oxPixelBuffer view;
    view.InitSubRect(source->pixels, &r);
    auto* copy = new (std::nothrow) oxDibBitmap(r.right - r.left, r.bottom - r.top, 32, true, false);
    if (!copy || !copy->valid || !view.HasPixels() || !ConvertPixels(copy->pixels, view)) {
        delete copy;
        return nullptr;
    }
    copy->premultiplied = source->bpp == 32 ? source->premultiplied : 0;
    return copy;
}

oxBitmapElement::oxBitmapElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {
    watch_.owner = this;
}

oxBitmapElement::oxBitmapElement(const WCHAR* src) : oxBindableElement(kAtomBitmap, nullptr) {
    watch_.owner = this;
    if (src) src_ = src;
    reload_ = true;
}

oxBitmapElement::~oxBitmapElement() {
    // Last first: a listener may remove itself, or another, while it is told.
    while (!listeners_.empty()) {
        oxBitmapListener* listener = listeners_.Back();
        listeners_.PopBack();
        listener->OnBitmapDestroyed(this);
    }
    SetInherited(nullptr);
    DropDownload();
    delete frames_;
    delete thumbnail_;
    delete style_;
}

void oxBitmapElement::DropDownload() {
    if (!download_) return;
    download_->Forget();
    download_->Release();
    download_ = nullptr;
}

int32_t oxBitmapElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomElementHeight:
        elementHeight_ = ParseInt(value);
        return 0;
    case kAtomElementWidth:
        elementWidth_ = ParseInt(value);
        return 0;
    case kAtomKeepSourceImg:
        SetKeepSourceImage(ParseBool(value));
        return 0;
    case kAtomSrc:
        SetSrcUri(value);
        return 0;
    case kAtomStyle:
        SetStyleText(value);
        return 0;
    case kAtomThumbHeight:
        SetThumbSize(thumbWidth_, ParseInt(value));
        return 0;
    case kAtomThumbWidth:
        SetThumbSize(ParseInt(value), thumbHeight_);
        return 0;
    default:
        return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    }
}

oxElement* oxBitmapElement::Clone() {
    if (!frames_ || !src_.IsEmpty() || frames_->GetFrameCount() == 0) return nullptr;
    auto* copy = new (std::nothrow) oxBitmapElement(u"");
    if (!copy) return nullptr;
    copy->frames_ = new (std::nothrow) oxFrameList;
    if (!copy->frames_) {
        delete copy;
        return nullptr;
    }
    for (int32_t i = 0; i < int32_t(frames_->GetFrameCount()); ++i) {
        const oxFrameEntry* entry = frames_->Entry(i);
        oxDibBitmap* image = entry ? CopyBitmap32(entry->image, nullptr) : nullptr;
        if (image) copy->frames_->AddFrame(image, entry->delay, 32);
    }
    copy->frames_->loopCount = frames_->loopCount;
    copy->frames_->loopsPlayed = frames_->loopsPlayed;
    copy->frames_->current = frames_->current < copy->frames_->GetFrameCount() ? frames_->current : 0;
    copy->reload_ = false;
    return copy;
}

void oxBitmapElement::SetSrcUri(const WCHAR* text) {
    if (!text) return;
    // "#id" names a resource of this library, not a file beside it.
    if (oxUri::HasScheme(text) || !library_ || text[0] == u'#')
        src_ = text;
    else
        ResolveUriToPath(text, library_->GetBase().GetString(), src_);
    reload_ = true;
    NotifyChanged();
}

bool oxBitmapElement::SetSrcObject(NUBO::XStream* stream) {
    src_.Empty();
    reload_ = true;
    delete thumbnail_;
    thumbnail_ = nullptr;
    SetInherited(nullptr);
    const bool decoded = Decode(stream);
    // The frames are the stream's: a later Prepare must not load the (empty) source over them.
    reload_ = false;
    NotifyChanged();
    return decoded;
}

void oxBitmapElement::SetStyleText(const WCHAR* text) {
    delete style_;
    style_ = nullptr;
    reload_ = true;
    if (text) styleText_ = text;
}

bool oxBitmapElement::SetStyleValue(int propertyId, const oxStyleValue& value) {
    if (!style_) style_ = new (std::nothrow) oxStyleElement(kAtomStyle, nullptr, nullptr);
    if (!style_) return false;
    style_->SetProperty(propertyId, value);
    reload_ = true;
    return true;
}

void oxBitmapElement::GetStyleValue(oxStyleValue* out, int propertyId) const {
    if (!out) return;
    if (style_)
        style_->GetProperty(out, propertyId);
    else
        out->Clear(true);
}

void oxBitmapElement::SetThumbSize(int32_t width, int32_t height) {
    const bool same = width == thumbWidth_ && height == thumbHeight_ && (width > 0 || height > 0);
    thumbWidth_ = width;
    thumbHeight_ = height;
    if (same || !thumbnail_) return;
    delete thumbnail_;
    thumbnail_ = nullptr;
    // Without the source frames the new thumbnail can only come from the file again.
    if (!frames_ || frames_->GetFrameCount() == 0) reload_ = !src_.IsEmpty();
}

void oxBitmapElement::SetKeepSourceImage(bool keep) {
    keepSourceImg_ = keep;
    if (!keep && thumbnail_ && frames_) frames_->Clear();
}

void oxBitmapElement::Prepare() {
    if (reload_) {
        delete thumbnail_;
        thumbnail_ = nullptr;
        Load();
    }
    if (!frames_ || frames_->GetFrameCount() == 0) return;
    MakeThumbnail();
    if (!keepSourceImg_ && thumbnail_) frames_->Clear();
}

void oxBitmapElement::MakeThumbnail() {
    if (thumbnail_ || (thumbWidth_ <= 0 && thumbHeight_ <= 0)) return;
    int32_t w = 0, h = 0;
    frames_->GetCurrentFrameSize(&w, &h);
    const oxDibBitmap* frame = frames_->GetFrame(int32_t(frames_->current));
    if (!frame || w <= 0 || h <= 0) return;
    const double ratio = double(float(w) / float(h));
    double tw = thumbWidth_, th = thumbHeight_;
    if (thumbWidth_ <= 0) {
        tw = th * ratio;
    } else if (thumbHeight_ > 0) {
        // Fitted in whole numbers: a float scale factor truncates 200 x 100 fitted to 64 x 64 to 63 x 31.
        if (int64_t(thumbWidth_) * h <= int64_t(thumbHeight_) * w)
            th = double(int64_t(thumbWidth_) * h / w);
        else
            tw = double(int64_t(thumbHeight_) * w / h);
    } else {
        th = tw / ratio;
    }
    // A thumbnail size far beyond any picture would only fail to allocate, or overflow the cast.
    if (!(tw >= 1 && th >= 1 && tw <= kMaxImageSide && th <= kMaxImageSide)) return;
    const int32_t width = int32_t(tw), height = int32_t(th);
    if (int64_t(width) * height > kMaxImagePixels) return;

    std::unique_ptr<oxDibBitmap> converted;
    if (frame->bpp != 32) {
        converted.reset(CopyBitmap32(frame, nullptr));
        if (!converted) return;
        frame = converted.get();
    }
    auto* thumb = new (std::nothrow) oxDibBitmap(width, height, 32, true, false);
    oxBlitter blitter;
    if (!thumb || !thumb->valid || !blitter.DrawImage(thumb->pixels, nullptr, frame->pixels, nullptr, true, false)) {
        delete thumb;
        return;
    }
    thumb->premultiplied = frame->premultiplied;
    thumbnail_ = thumb;
}

void oxBitmapElement::Load() {
    reload_ = false;
    if (src_.IsEmpty()) return;
    oxUri uri(src_.GetString());
    if (!IsFileScheme(uri, src_.GetString())) {
        // The frames stay as they are until the download ends; a download still running is dropped.
        oxUriLoader load = oxGetUriLoader();
        DropDownload();
        if (!load) return;
        download_ = oxUriLoadListener::Create(this);
        if (download_ && load(src_.GetString(), download_) != 0) DropDownload();
        return;
    }
    ClearFrames();
    SetInherited(nullptr);
    const WCHAR* fragment = uri.GetFragment();
    if (fragment && *fragment) {
        SetInherited(FindReferencedBitmap(src_.GetString()));
        return;
    }
    // Markup opens no file outside the resources folder.
    TWString path;
    ResolveUriToPath(src_.GetString(), nullptr, path);
    if (!ConfineSceneFile(path)) return;
    NUBO::XStream* raw = nullptr;
    if (OpenUriStream(path.GetString(), &raw) != 0) {
        // Reported here, where the file's name is known; a painter that meets the empty bitmap
        // knows only the resource.
        if (library_ && library_->GetRuntime()) library_->GetRuntime()->ReportFileNotFound(path.GetString());
        return;
    }
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    Decode(stream.get());
}

void oxBitmapElement::OnLoaded(int32_t result, NUBO::XStream* stream) {
    DropDownload();
    if (result == 0 && stream) {
        ClearFrames();
        SetInherited(nullptr);
        Decode(stream);
    }
    reload_ = false;
    NotifyChanged();
}

int32_t oxBitmapElement::HandleEvent(oxEvent* event) {
    if (!event || event->GetType() != kAtomUrlLoadComplete) return 0;
    const auto* loaded = static_cast<oxUrlEvent*>(event);
    OnLoaded(loaded->value, loaded->stream);
    return 1;
}

bool oxBitmapElement::Decode(NUBO::XStream* stream) {
    if (!stream) return false;
    int64_t size = 0;
    if (stream->GetSize(&size) != 0 || size <= 0 || size > kMaxSourceBytes) return false;
    void* data = ImageAlloc(size_t(size), 0);
    if (!data) return false;
    uint32_t read = 0;
    if (stream->Seek(0, 0) != 0 || stream->Read(data, uint32_t(size), &read) != 0 || read != uint32_t(size)) {
        ImageFree(data);
        return false;
    }
    if (!frames_) frames_ = new (std::nothrow) oxFrameList;
    if (!frames_) {
        ImageFree(data);
        return false;
    }
    return DecodeImage(data, size_t(size), frames_) == 1;
}

oxBitmapElement* oxBitmapElement::FindReferencedBitmap(const WCHAR* reference) const {
    if (!library_ || !reference) return nullptr;
    oxUri uri(reference);
    TWString fragment(u"#");
    fragment += uri.GetFragment() ? uri.GetFragment() : u"";
    oxElement* found = library_->FindThemeResource(fragment.GetString());
    if (!found) found = library_->FindResourceByUri(reference);
    if (!found || (found->GetTag() != kAtomBitmap && found->GetTag() != kAtomImageElement)) return nullptr;
    return dynamic_cast<oxBitmapElement*>(found);
}

bool oxBitmapElement::SetOnlyFrame(oxDibBitmap* image) {
    if (!frames_) frames_ = new (std::nothrow) oxFrameList;
    if (!frames_ || !image) {
        delete image;
        ClearFrames();
        return false;
    }
    frames_->Clear();
    return frames_->AddFrame(image, -1, 32) == 1;
}

void oxBitmapElement::ClearFrames() {
    if (frames_) frames_->Clear();
}

void oxBitmapElement::SetInherited(oxBitmapElement* bitmap) {
    if (inherited_ == bitmap) return;
    if (inherited_) inherited_->RemoveListener(&watch_);
    inherited_ = bitmap == this ? nullptr : bitmap;
    if (inherited_) inherited_->AddListener(&watch_);
}

oxDibBitmap* oxBitmapElement::GetFrame(int32_t index) {
    if (busy_) return nullptr;
    Prepare();
    if (thumbnail_) return thumbnail_;
    if (frames_) {
        if (oxDibBitmap* frame = frames_->GetFrame(index < 0 ? int32_t(frames_->current) : index)) return frame;
    }
    if (!inherited_) return nullptr;
    busy_ = true;
    oxDibBitmap* frame = inherited_->GetFrame(index);
    busy_ = false;
    return frame;
}

int32_t oxBitmapElement::GetFrameDelay(int32_t index) const {
    return frames_ ? frames_->GetFrameDelay(index) : -1;
}

int32_t oxBitmapElement::GetFrameCount() const {
    return frames_ ? int32_t(frames_->GetFrameCount()) : 0;
}

int32_t oxBitmapElement::GetAnimationDelay() {
    Prepare();
    if (!frames_ || frames_->GetFrameCount() < 2) return -1;
    return frames_->GetFrameDelay(int32_t(frames_->current));
}

void oxBitmapElement::AdvanceFrame() {
    if (frames_) frames_->Advance();
}

void oxBitmapElement::GetSize(int32_t* width, int32_t* height) {
    *width = *height = 0;
    Prepare();
    if (thumbnail_) {
        *width = thumbnail_->width;
        *height = thumbnail_->height;
    } else if (frames_ && frames_->GetFrameCount() > 0) {
        frames_->GetCurrentFrameSize(width, height);
    }
}

void oxBitmapElement::GetElementSize(int32_t* width, int32_t* height) const {
    *width = *height = -1;
    if (elementWidth_ <= 0) return;
    if (elementHeight_ > 0) {
        *width = elementWidth_;
        *height = elementHeight_;
        return;
    }
    // Only a width: the cells of a strip are as tall as the picture.
    int32_t w = 0, h = 0;
    if (frames_) frames_->GetCurrentFrameSize(&w, &h);
    if (h > 0) {
        *width = elementWidth_;
        *height = h;
    }
}

int oxBitmapElement::MirrorCurrentFrame() {
    oxDibBitmap* frame = frames_ ? frames_->GetFrame(int32_t(frames_->current)) : nullptr;
    if (!frame) return 0;
    MirrorPixelBufferHorizontally(frame->pixels);
    return 1;
}

bool oxBitmapElement::HasForeignScheme() const {
    const oxAtom scheme = oxUri::SchemeAtom(src_.GetString());
    return scheme != 0 && scheme != kAtomBox;
}

void oxBitmapElement::AddListener(oxBitmapListener* listener) {
    if (!listener) return;
    for (oxBitmapListener* l : listeners_)
        if (l == listener) return;
    listeners_.PushBack(listener);
}

void oxBitmapElement::RemoveListener(oxBitmapListener* listener) {
    listeners_.Remove(listener);
}

void oxBitmapElement::NotifyChanged() {
    // A copy: a listener may remove itself while it is told.
    NUBO::PtrVector<oxBitmapListener*> listeners;
    for (oxBitmapListener* l : listeners_)
        listeners.PushBack(l);
    for (oxBitmapListener* l : listeners) {
        bool still = false;
        for (oxBitmapListener* current : listeners_)
            still = still || current == l;
        if (still) l->OnBitmapChanged(this);
    }
}
