// Laying out 1,000 words of marked-up text at 440 pixels: a text box's rich text beside Pango given the
// same words in its own markup, with the same face, size and width. Each side parses its markup,
// measures every run and breaks the lines inside the timer; the font and layout objects are made
// before it. The line counts of both are compared before timing.
#include <benchmark/benchmark.h>
#include <pango/pangoft2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "toolkit/widgets/rich_text.h"
#include "toolkit/widgets/tests/resource_scene.h"
#include "toolkit/widgets/text_box.h"

namespace {

constexpr int kWidth = 440;
constexpr int kWords = 1000;

// The same paragraph in the toolkit's markup and in Pango's.
struct Sources {
    std::string ours, pango;
};

Sources MakeSources() {
    static const char* const words[] = {"the",    "messenger", "shows", "each",   "bubble", "with", "a",
                                        "picture", "beside",    "its",   "words",  "and",    "links", "wrap",
                                        "inside",  "their",     "box",   "neatly", "line",   "by",    "line"};
    Sources s;
    for (int i = 0; i < kWords; ++i) {
        const std::string w = words[i % (sizeof words / sizeof words[0])];
        // Every second, fifth, seventh and ninth word of ten carries a style.
        static const char* const kMarks[10][4] = {
            {}, {}, {"<b>", "</b>", "<b>", "</b>"}, {}, {}, {"<i>", "</i>", "<i>", "</i>"}, {},
            {"<font color=\"#B02020\">", "</font>", "<span foreground=\"#B02020\">", "</span>"}, {},
            {"<u>", "</u>", "<u>", "</u>"},
        };
        const char* const* m = kMarks[i % 10];
        const std::string ours = m[0] ? m[0] + w + m[1] : w;
        const std::string pango = m[0] ? m[2] + w + m[3] : w;
        s.ours += ours + " ";
        s.pango += pango + " ";
    }
    return s;
}

struct Ours {
    widgets_test::FactoryScene scene;
    oxTextBox* box = nullptr;
    explicit Ours(const std::string& source) {
        oxAtoms::RegisterPredefined();
        oxRegisterTextBoxKinds();
        box = static_cast<oxTextBox*>(scene.CreateBox(kAtomBoxNamespace, kAtomText));
        box->SetStyle(u"fontFamily", u"DejaVu Sans");
        box->SetStyle(u"fontSize", u"13");
        box->SetValue(platform::WideFromUtf8(source).c_str());
    }
    ~Ours() { box->Release(); }
    int Layout() {
        box->LayoutRich(kWidth);
        return box->GetRichDocument()->GetLineCount();
    }
};

struct Theirs {
    PangoFontMap* map = pango_ft2_font_map_new();
    PangoContext* context = nullptr;
    PangoLayout* layout = nullptr;
    std::string source;
    explicit Theirs(std::string markup) : source(std::move(markup)) {
        pango_ft2_font_map_set_resolution(PANGO_FT2_FONT_MAP(map), 96, 96);
        context = pango_font_map_create_context(map);
        layout = pango_layout_new(context);
        PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
        pango_font_description_set_absolute_size(font, 13 * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        pango_layout_set_width(layout, kWidth * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    ~Theirs() {
        g_object_unref(layout);
        g_object_unref(context);
        g_object_unref(map);
    }
    int Layout() {
        pango_layout_set_markup(layout, source.data(), int(source.size()));
        return pango_layout_get_line_count(layout);
    }
};

void BM_RichTextLayout(benchmark::State& state) {
    Ours ours(MakeSources().ours);
    for (auto _ : state)
        benchmark::DoNotOptimize(ours.Layout());
    state.counters["lines"] = ours.Layout();
}
BENCHMARK(BM_RichTextLayout)->Unit(benchmark::kMicrosecond);

void BM_PangoLayout(benchmark::State& state) {
    Theirs theirs(MakeSources().pango);
    for (auto _ : state)
        benchmark::DoNotOptimize(theirs.Layout());
    state.counters["lines"] = theirs.Layout();
}
BENCHMARK(BM_PangoLayout)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // Both must break the paragraph into about as many lines: Pango kerns and shapes, the toolkit adds
    // whole-pixel advances, so a line may end a word earlier or later, never many.
    const Sources sources = MakeSources();
    Ours ours(sources.ours);
    Theirs theirs(sources.pango);
    const int a = ours.Layout(), b = theirs.Layout();
    std::printf("lines: rich text %d, Pango %d\n", a, b);
    if (a <= 0 || b <= 0 || std::abs(a - b) * 20 > b) {
        std::fprintf(stderr, "the two layouts disagree\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
