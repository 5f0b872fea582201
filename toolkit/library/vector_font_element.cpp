#include "toolkit/library/vector_font_element.h"

#include <cstdint>
#include <memory>
#include <new>

#include "graphics/text/font.h"
#include "graphics/text/font_cache.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/box_uri.h"

namespace {

constexpr int32_t kNotHandled = int32_t(0x80000001);
constexpr uint32_t kLocalBuffer = 256;
// A font cache file of 256 glyphs is some tens of kilobytes; anything past this is not one.
constexpr int64_t kMaxFontFile = 16 << 20;

} // namespace

oxVectorFontElement::oxVectorFontElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}

oxVectorFontElement::~oxVectorFontElement() = default;

int32_t oxVectorFontElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomSrc && value) return Load(value) ? 0 : kNotHandled;
    return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
}

bool oxVectorFontElement::Load(const WCHAR* src) {
    // Against the library's base first (which may give a box: URI), then to a local path.
    NUBO::TWString resolved, path;
    oxLibrary* library = GetLibrary();
    ResolveUriToPath(src, library ? library->GetBase().GetString() : nullptr, resolved);
    ResolveUriToPath(resolved.GetString(), nullptr, path);
    // Markup opens no file outside the resources folder.
    if (!ConfineToResources(path)) return false;
    NUBO::XStream* raw = nullptr;
    if (OpenUriStream(path.GetString(), &raw) != 0 || !raw) {
        if (library && library->GetRuntime()) library->GetRuntime()->ReportFileNotFound(path.GetString());
        return false;
    }
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    int64_t size = 0;
    if (stream->GetSize(&size) != 0 || size < 0 || size > kMaxFontFile) return false;
    uint8_t local[kLocalBuffer];
    std::unique_ptr<uint8_t[]> heap;
    uint8_t* bytes = local;
    if (size > int64_t(kLocalBuffer)) {
        heap.reset(new (std::nothrow) uint8_t[size_t(size)]);
        if (!heap) return false;
        bytes = heap.get();
    }
    uint32_t read = 0;
    if (stream->Seek(0, 0) != 0 || stream->Read(bytes, uint32_t(size), &read) != 0 || read != uint32_t(size))
        return false;
    std::unique_ptr<oxFont> font(ReadFontCache(bytes, size_t(size), nullptr));
    if (!font) return false;
    font->SetAlias("");
    if (font_) replaced_.push_back(std::move(font_));
    font_ = std::move(font);
    return true;
}
