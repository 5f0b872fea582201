// Lays arbitrary text out as a text box's rich text: the first byte picks the wrap width and whether
// runs are split by direction, the rest is UTF-16 text. Every line is then read in display order for
// both base directions and placed, as painting would.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/widgets/image_box.h"
#include "toolkit/widgets/rich_text.h"
#include "toolkit/widgets/tests/resource_scene.h"
#include "toolkit/widgets/text_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    static bool ready = [] {
        oxAtoms::RegisterPredefined();
        oxRegisterTextBoxKinds();
        oxRegisterImageBoxKind();
        return true;
    }();
    (void)ready;
    static const int32_t kWidths[] = {-1, 1, 7, 100, 440};
    const int32_t wrap = kWidths[data[0] % 5];
    std::vector<char16_t> text((size - 1) / 2 + 1, 0);
    for (size_t i = 0; i + 1 < text.size(); ++i)
        text[i] = char16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8);

    widgets_test::FactoryScene scene;
    scene.rtl = (data[0] & 0x80) != 0;
    auto* box = static_cast<oxTextBox*>(scene.CreateBox(kAtomBoxNamespace, kAtomText));
    if (!box) return 0;
    box->SetAttribute(kAtomHtmlVer, u"1", true, false);
    box->SetValue(text.data());
    box->LayoutRich(wrap);
    if (oxRichText* doc = box->GetRichDocument()) {
        for (int l = 0; l < doc->GetLineCount(); ++l)
            for (int32_t base : {0, 1}) {
                int seen = 0;
                while (doc->GetItem(l, seen, base))
                    ++seen;
                if (seen != doc->GetLine(l)->GetItemCount()) __builtin_trap();
            }
        box->PlaceRichItems();
    }
    box->Release();
    // Fonts are cached until the cache is cleared; every face and size the input names is a font.
    oxTextBox::ClearFontCache();
    return 0;
}
