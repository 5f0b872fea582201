// The theme of an open scene of 1,000 boxes switched back and forth: every box restyled, the tree
// laid out again and the window repainted. Beside it, the first load of the same scene (markup,
// styles, layout and the first painted frame), so the switch reads as a share of a load.
#include <benchmark/benchmark.h>
#include <string>

#include "bench/bench_toolkit.h"
#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/win/screen.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/library/theme_element.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

using bench_support::Toolkit;

std::string Write(const std::string& name, const std::string& text) {
    return bench_support::WriteTempFile("tandu-theme-bench", name, text);
}

std::string ThemeLibrary(int size, const char* face, const char* text) {
    return std::string(R"M(<?xml version="1.0" encoding="utf-8"?>
<library xmlns="http://www.kestrum.com/weftly/resource.xsd">
  <font id="bodyFont" size=")M") +
           std::to_string(size) + "\" color=\"" + text + R"M("/>
  <font id="faceFont" size="10" color=")M" +
           face + R"M("/>
</library>)M";
}

// Rows of six boxes (a face, a column of two texts and a badge) whose texts take their font from
// the theme: `boxes` boxes in all.
std::string Scene(int boxes, const std::string& light, const std::string& dark) {
    std::string text = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd"
      id="root" title="Bench">
  <r:library>
    <themes xmlns="">
      <theme id="light"><themeLibrary src=")M" +
                       light + R"M("/></theme>
      <theme id="dark"><themeLibrary src=")M" +
                       dark + R"M("/></theme>
    </themes>
    <r:font id="bodyFont" size="14" color="#ff203048"/>
    <r:font id="faceFont" size="10" color="#ff000000"/>
    <r:style target="root" fill="#fff4f6fa" padding="4"/>
    <r:style target="list" flex="1" maxHeight="auto" overflow="scroll" vSpace="2"/>
    <r:style tag="simpleText" font="url(#bodyFont)"/>
    <r:style name="row" height="56" padding="4" hSpace="8" fill="#ffffffff" fillCornerRadius="6"/>
    <r:style name="face" width="48" height="48" fill="#ff5080c0" fillCornerRadius="24" font="url(#faceFont)"/>
    <r:style name="words" flex="1" vSpace="2"/>
  </r:library>
  <vbox id="list">
)M";
    int made = 2;
    for (int row = 0; made + 6 <= boxes; ++row, made += 6) {
        text += "    <hbox style=\"row\"><box style=\"face\"/><vbox style=\"words\">";
        text += "<simpleText id=\"name" + std::to_string(row) + "\" value=\"Contact " + std::to_string(row) + "\"/>";
        text += "<simpleText value=\"Available\"/></vbox><simpleText value=\"3\"/></hbox>\n";
    }
    for (; made < boxes; ++made)
        text += "    <box style=\"face\"/>\n";
    return text + "  </vbox>\n</vbox>\n";
}

constexpr int kBoxes = 1000;

std::string ScenePath() {
    // The theme libraries lie beside the scene, named relative to it.
    Write("light.box", ThemeLibrary(14, "#ff5080c0", "#ff203048"));
    Write("dark.box", ThemeLibrary(18, "#ffc08050", "#ffe0e0f0"));
    static const std::string path = Write("scene.box", Scene(kBoxes, "light.box", "dark.box"));
    return path;
}

int FontSizeOf(oxScene* scene) {
    oxBox* name = scene->GetBoxById(oxAtoms::Intern(u"name0"), false);
    oxStyleValue value;
    if (!name) return -1;
    name->GetStyleValue(kStyle_fontSize, &value);
    return value.GetInt();
}

void BM_FirstLoad(benchmark::State& state) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    Toolkit toolkit;
    const std::string path = ScenePath();
    for (auto _ : state) {
        oxScene* scene = toolkit.Open(platform::WideFromUtf8(path));
        state.PauseTiming();
        if (!scene || FontSizeOf(scene) != 14) {
            state.SkipWithError("the scene did not open styled");
            break;
        }
        scene->Close(true);
        platform::headless::RunUntilIdle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstLoad)->Unit(benchmark::kMillisecond);

void BM_SwitchTheme(benchmark::State& state) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    Toolkit toolkit;
    oxScene* scene = toolkit.Open(platform::WideFromUtf8(ScenePath()));
    oxThemesElement* themes = toolkit.Runtime()->GetThemes();
    if (!scene || !themes || themes->GetThemeCount() != 2) {
        state.SkipWithError("the scene did not open with its themes");
        return;
    }
    const oxAtom ids[] = {oxAtoms::Intern(u"dark"), oxAtoms::Intern(u"light")};
    const int sizes[] = {18, 14};
    int turn = 0;
    for (auto _ : state) {
        themes->SetActiveTheme(ids[turn]);
        platform::headless::RunUntilIdle(); // the repaint
        state.PauseTiming();
        if (FontSizeOf(scene) != sizes[turn]) {
            state.SkipWithError("the switch did not restyle the scene");
            break;
        }
        turn ^= 1;
        state.ResumeTiming();
    }
    scene->Close(true);
    platform::headless::RunUntilIdle();
}
BENCHMARK(BM_SwitchTheme)->Unit(benchmark::kMillisecond);

} // namespace
