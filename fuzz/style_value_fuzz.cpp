// Feeds arbitrary text to the style value parser under every parser mask that the property table
// uses and a few others, then reads the value back as the style system would. The same text is also
// read as a whole declaration ("name:value;name:value"), stored, cascaded into every property
// group of a style record and read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 4096) return 0;
    // The first byte picks the mask; the rest is UTF-16 text, ended at its first zero unit.
    static const unsigned kMasks[] = {0x02, 0x04, 0x08, 0x20, 0x2C,  0x40,  0x44, 0x50,
                                      0x54, 0x56, 0x80, 0xC0, 0x156, 0x200, 0x3FE};
    unsigned mask = kMasks[data[0] % (sizeof(kMasks) / sizeof(kMasks[0]))];
    std::vector<char16_t> text((size - 1) / 2 + 1, 0);
    for (size_t i = 0; i + 1 < text.size(); ++i)
        text[i] = char16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8);

    oxStyleValue value;
    ParseStyleValue(text.data(), mask, &value);
    oxStyleValue copy(value);
    (void)copy.Equals(value);
    (void)value.GetInt();
    (void)value.GetColor();
    std::free(copy.ToString());

    oxStyleValue byProperty;
    ParseStylePropertyValue(int(data[0] % 129) - 1, text.data(), &byProperty);
    std::free(byProperty.ToString());

    oxStyleRectValue rect;
    rect.Parse(text.data(), mask & ~0x300u);
    std::free(rect.ToString());

    uint32_t argb;
    ParseColor(text.data(), &argb);

    // The whole text as a declaration.
    auto* declaration = new oxStyleDeclaration;
    const char16_t* at = text.data();
    while (*at) {
        const char16_t* end = at;
        while (*end && *end != u';')
            ++end;
        const char16_t* colon = at;
        while (colon < end && *colon != u':')
            ++colon;
        NUBO::TWString name(at, int(colon - at));
        NUBO::TWString item(colon < end ? colon + 1 : end, int(colon < end ? end - colon - 1 : 0));
        oxStyleValue parsed;
        ParseStyleAttribute(name.GetString() ? name.GetString() : u"", item.GetString() ? item.GetString() : u"",
                            &parsed, declaration, nullptr);
        at = *end ? end + 1 : end;
    }
    oxStyleDeclaration* copy2 = declaration->CloneDeclaration();
    auto* record = new oxBoxStyle(new oxStyleRuleNode(declaration), false, nullptr);
    for (int kind = 1; kind <= 15; ++kind) {
        if (oxStyleGroup* group = record->GetGroup(kind)) delete group->Clone();
    }
    for (int id = 0; id < 128; id += 7) {
        oxStyleValue v;
        record->GetProperty(&v, id);
        std::free(v.ToString());
        record->SetProperty(id, value);
        if (copy2) copy2->RemoveProperty(id);
    }
    record->ClearProperty(data[0] & 127);
    record->Release();
    delete copy2;
    delete declaration;
    return 0;
}
