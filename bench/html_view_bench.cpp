// A 20 KB HTML page laid out and painted at 480 pixels by the HTML control's engine, beside a text
// box's rich text laying out and painting the same words with the same marks. Each side parses its
// source, lays it out and paints the first 480 x 800 pixels inside the timer; the drawing surfaces
// are made before it. Both must give text of a like height before timing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/paint/canvas.h"
#include "platform/shell/path_map.h"
#include "platform/win/gdi.h"
#include "platform/win/html_view.h"
#include "toolkit/widgets/rich_text.h"
#include "toolkit/widgets/tests/resource_scene.h"
#include "toolkit/widgets/text_box.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;
constexpr size_t kPageBytes = 20 * 1024;

struct Sources {
    std::string html, rich;
};

// Paragraphs of 60 words until the page holds 20 KB; every second, fifth, seventh and ninth word
// of ten carries a mark, written the same in both sources.
Sources MakeSources() {
    static const char* const words[] = {"the",     "messenger", "shows", "each",   "bubble", "with",  "a",
                                        "picture", "beside",    "its",   "words",  "and",    "links", "wrap",
                                        "inside",  "their",     "box",   "neatly", "line",   "by",    "line"};
    static const char* const kMarks[10][2] = {
        {},
        {},
        {"<b>", "</b>"},
        {},
        {},
        {"<i>", "</i>"},
        {},
        {"<font color=\"#B02020\">", "</font>"},
        {},
        {"<u>", "</u>"},
    };
    Sources s;
    s.html = "<html><body style=\"margin:0;font-family:'DejaVu Sans';font-size:13px;line-height:16px\">";
    for (int i = 0; s.html.size() < kPageBytes; ++i) {
        if (i % 60 == 0) {
            if (i) s.html += "</p>", s.rich += "<br><br>";
            s.html += "<p style=\"margin:0 0 16px 0\">"; // one blank line of 16 pixels
        }
        const std::string w = words[i % (sizeof words / sizeof words[0])];
        const char* const* m = kMarks[i % 10];
        const std::string marked = m[0] ? m[0] + w + m[1] : w;
        s.html += marked + " ";
        s.rich += marked + " ";
    }
    s.html += "</p></body></html>";
    return s;
}

struct Html {
    platform::HtmlView view;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::string source;
    explicit Html(std::string page) : source(std::move(page)) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~Html() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int Run() {
        view.Load(source);
        const int height = view.Layout(kWidth);
        view.Draw(dc, 0, 0, RECT{0, 0, kWidth, kHeight});
        return height;
    }
};

struct Rich {
    widgets_test::FactoryScene scene;
    oxTextBox* box = nullptr;
    oxCanvas canvas{kWidth, kHeight};
    std::u16string source;
    explicit Rich(const std::string& text) : source(platform::WideFromUtf8(text)) {
        oxAtoms::RegisterPredefined();
        oxRegisterTextBoxKinds();
        box = static_cast<oxTextBox*>(scene.CreateBox(kAtomBoxNamespace, kAtomText));
        box->SetStyle(u"fontFamily", u"DejaVu Sans");
        box->SetStyle(u"fontSize", u"13");
        box->SetPacked(1, {kWidth, kHeight});
        box->SetContentSize({kWidth, kHeight});
    }
    ~Rich() { box->Release(); }
    int Run() {
        box->SetValue(source.c_str());
        box->LayoutRich(kWidth);
        box->PaintContent(&canvas);
        return box->GetRichDocument()->GetSize().y;
    }
};

void BM_HtmlPageLayoutAndPaint(benchmark::State& state) {
    Html html(MakeSources().html);
    for (auto _ : state)
        benchmark::DoNotOptimize(html.Run());
    state.counters["height"] = html.Run();
    state.counters["bytes"] = double(html.source.size());
}
BENCHMARK(BM_HtmlPageLayoutAndPaint)->Unit(benchmark::kMicrosecond);

void BM_RichTextLayoutAndPaint(benchmark::State& state) {
    Rich rich(MakeSources().rich);
    for (auto _ : state)
        benchmark::DoNotOptimize(rich.Run());
    state.counters["height"] = rich.Run();
}
BENCHMARK(BM_RichTextLayoutAndPaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The same words at the same size wrap into about as many lines: the page's lines are 16 pixels
    // high with a blank line's gap after each paragraph, as the rich text's blank lines are.
    const Sources sources = MakeSources();
    Html html(sources.html);
    Rich rich(sources.rich);
    rich.Run();
    const int a = html.Run() / 16, b = rich.box->GetRichDocument()->GetLineCount();
    std::printf("page %zu bytes; lines: HTML %d, rich text %d\n", sources.html.size(), a, b);
    if (a <= 0 || b <= 0 || std::abs(a - b) * 20 > b) {
        std::fprintf(stderr, "the two layouts disagree\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
