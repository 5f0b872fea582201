// Parses a style text of 10,000 declarations ("name: value;"), each value with its property's own
// mask, as the markup loader does for style elements. Reports declarations per second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

constexpr int kDeclarations = 10000;

std::u16string MakeStyleText() {
    static const char16_t* const kDecls[] = {
        u"width: 120px;",
        u"height: auto;",
        u"margin: 1 2 3 4;",
        u"fill: #80ff0000;",
        u"textColor: syscolorwindowtext;",
        u"fontFamily: Tahoma;",
        u"stroke: red 2;",
        u"icon: url(#icon);",
        u"opacity: 50%;",
        u"hAlign: center;",
        u"padding: 4*;",
        u"cursor: OSTheme(Button,Push,Normal);",
        u"animate: none;",
        u"fontSize: 12pt;",
        u"colorAdd: navy;",
        u"offsetLeft: -7;",
    };
    std::u16string text;
    for (int i = 0; i < kDeclarations; ++i)
        text += kDecls[i % (sizeof(kDecls) / sizeof(kDecls[0]))];
    return text;
}

// Splits "name: value;" declarations and parses each value; the number that parsed.
int ParseStyleText(const std::u16string& text, std::vector<oxStyleValue>& values) {
    int parsed = 0;
    std::u16string name, value;
    size_t at = 0;
    while (at < text.size()) {
        size_t colon = text.find(u':', at), semi = text.find(u';', at);
        if (colon == std::u16string::npos || semi == std::u16string::npos || colon > semi) break;
        name.assign(text, at, colon - at);
        size_t v = colon + 1;
        while (v < semi && text[v] == u' ')
            ++v;
        value.assign(text, v, semi - v);
        oxStyleValue& out = values[size_t(parsed) % values.size()];
        if (ParseStylePropertyValue(StylePropertyIdFromName(name.c_str()), value.c_str(), &out)) ++parsed;
        at = semi + 1;
    }
    return parsed;
}

void BM_StyleText10000(benchmark::State& state) {
    EnsureStyleNameTables();
    std::u16string text = MakeStyleText();
    std::vector<oxStyleValue> values(64);
    for (auto _ : state) {
        int parsed = ParseStyleText(text, values);
        if (parsed != kDeclarations) state.SkipWithError("a declaration failed to parse");
        benchmark::DoNotOptimize(values.data());
    }
    state.counters["declarations/s"] =
        benchmark::Counter(double(kDeclarations) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StyleText10000)->Unit(benchmark::kMillisecond);

} // namespace
