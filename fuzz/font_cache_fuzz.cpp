// Font cache files: a font read from the bytes is written back and read again (which must give the
// same image), and its glyphs are rasterised and drawn as text, so that whatever the reader accepts
// is safe to draw.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/pixel_buffer.h"
#include "graphics/text/font.h"
#include "graphics/text/font_cache.h"
#include "graphics/text/glyph_render.h"
#include "graphics/text/text_context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    oxFontCacheSerializer serializer;
    std::unique_ptr<oxFont> font(serializer.ReadFontCache(data, size, nullptr));
    if (!font) return 0;
    uint8_t* image = nullptr;
    const size_t length = serializer.WriteFontCache(font.get(), &image);
    if (!length) __builtin_trap();
    std::unique_ptr<oxFont> again(serializer.ReadFontCache(image, length, nullptr));
    uint8_t* second = nullptr;
    if (!again || serializer.WriteFontCache(again.get(), &second) != length || std::memcmp(image, second, length))
        __builtin_trap();
    delete[] image;
    delete[] second;

    EnsureFontGraphicsContext();
    static uint32_t pixels[64 * 32];
    static oxGraphicsContext target;
    static bool ready = [] {
        oxPixelBuffer b;
        b.InitExternal(pixels, 64 * 4, 64, 32, 32, 4, true);
        return target.AttachTarget(b) != 0;
    }();
    if (!ready) return 0;
    static const char16_t kText[] = u"Ag&amp;<b>m</b>\x80\xff";
    oxTextContext* context = nullptr;
    oxTextContext::Create(&context);
    if (!context) return 0;
    oxTextContext::SetFont(context, font.get());
    oxTextContext::SetMarkupEnabled(context, 1);
    for (float size : {7.0f, 13.0f, 40.0f}) {
        oxMatrix m;
        m.Scale(size, size, 1.0f);
        m.Translate(1.25f, 20.0f, 0.0f);
        target.SetTransform(m);
        oxTextContext::Draw(context, kText, -1, &target, oxTextContext::kGlyphCached, 1.2f, 3.0f, -1, 4, u'g');
    }
    oxTextContext::Destroy(&context);
    return 0;
}
