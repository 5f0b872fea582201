// A scene of 1,000 boxes made of rows that use one gadget (a face, a column of two texts and a
// badge, the texts shown from the row's attributes), loaded, styled, laid out and painted; beside
// it the same tree written out box by box. Both runs check that they built the same boxes in the
// same places.
#include <benchmark/benchmark.h>
#include <string>

#include "bench/bench_toolkit.h"
#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/win/screen.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"

namespace {

using bench_support::Toolkit;

constexpr int kBoxes = 1000;
constexpr int kRowBoxes = 6; // the row, its face, the column of texts, two texts and the badge

std::string Write(const std::string& name, const std::string& text) {
    return bench_support::WriteTempFile("tandu-gadget-bench", name, text);
}

const char* kLibrary = R"M(
  <r:library>
    <r:style target="root" fill="#fff4f6fa" padding="4"/>
    <r:style target="list" flex="1" maxHeight="auto" overflow="scroll" vSpace="2"/>
    <r:style name="row" height="56" padding="4" hSpace="8" fill="#ffffffff" fillCornerRadius="6"/>
    <r:style name="face" width="48" height="48" fill="#ff5080c0" fillCornerRadius="24"/>
    <r:style name="words" flex="1" vSpace="2"/>
    <r:style name="badge" width="20" height="20" fill="#ff2f6fc8"/>
    <r:gadget id="contactRow">
      <attributes style="row" state="Available"/>
      <parts>
        <box style="face"/>
        <vbox style="words"><simpleText inherits="value=name"/><simpleText inherits="value=state"/></vbox>
        <box style="badge"/>
      </parts>
    </r:gadget>
  </r:library>
)M";

std::string Scene(bool gadget) {
    std::string text = std::string(R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd"
      id="root" title="Bench">)M") +
                       kLibrary + "  <vbox id=\"list\">\n";
    for (int row = 0; 2 + (row + 1) * kRowBoxes <= kBoxes; ++row) {
        const std::string name = "Contact " + std::to_string(row);
        if (gadget) {
            text += "    <contactRow name=\"" + name + "\"/>\n";
        } else {
            text += "    <hbox style=\"row\"><box style=\"face\"/><vbox style=\"words\"><simpleText value=\"" + name +
                    "\"/><simpleText value=\"Available\"/></vbox><box style=\"badge\"/></hbox>\n";
        }
    }
    return text + "  </vbox>\n</vbox>\n";
}

// The boxes of the list and where its last text stands: the same in both scenes.
std::string Shape(oxScene* scene) {
    oxBox* list = scene ? scene->GetBoxById(oxAtoms::Intern(u"list"), false) : nullptr;
    if (!list || list->GetChildCount() == 0) return "";
    int boxes = 0;
    for (oxBox* b = list; b; b = b->GetNextBox(list, false, false))
        ++boxes;
    oxBox* words = list->GetLastChild(false)->GetChildAt(1, false);
    oxBox* text = words ? words->GetChildAt(0, false) : nullptr;
    if (!text) return "";
    const WCHAR* value = text->GetAttributeText(oxAtoms::Intern(u"value"));
    oxRect r = text->GetBoxRect();
    return std::to_string(boxes) + " " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
           std::to_string(r.width) + "x" + std::to_string(r.height) + (value ? " named" : " unnamed");
}

void Load(benchmark::State& state, bool gadget) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    Toolkit toolkit;
    const std::string path = Write(gadget ? "gadget.box" : "written.box", Scene(gadget));
    static std::string expected;
    for (auto _ : state) {
        oxScene* scene = toolkit.Open(platform::WideFromUtf8(path));
        state.PauseTiming();
        std::string shape = Shape(scene);
        if (shape.empty() || (!expected.empty() && shape != expected)) {
            state.SkipWithError(("the trees differ: " + shape + " against " + expected).c_str());
            break;
        }
        expected = shape;
        scene->Close(true);
        platform::headless::RunUntilIdle();
        state.ResumeTiming();
    }
}

void BM_LoadWrittenOut(benchmark::State& state) {
    Load(state, false);
}
BENCHMARK(BM_LoadWrittenOut)->Unit(benchmark::kMillisecond);

void BM_LoadWithGadget(benchmark::State& state) {
    Load(state, true);
}
BENCHMARK(BM_LoadWithGadget)->Unit(benchmark::kMillisecond);

} // namespace
