// The program started beside scenes written to break it: each is refused or survived, and the
// program ends on its own or at its run bound with status 0, never by a crash or a hang.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "app/tests/program_run.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kBoxHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                   "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"main\">\n";

// A scene whose only content is its script `src`.
std::string SceneWithScript(const char* src) {
    return std::string(kBoxHeader) + "  <script language=\"javascript\" src=\"" + src + "\"/>\n</vbox>\n";
}

class HostileSceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tandu-hostile-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "resources");
        fs::copy_file(TANDU_PROGRAM, folder / "tandu");
    }
    void TearDown() override { fs::remove_all(folder); }

    void Write(const char* name, const std::string& text) { std::ofstream(folder / "resources" / name) << text; }

    // `stackBytes` bounds the program's stack (0 keeps the system's).
    program_test::Outcome Run(const char* runSeconds = "1", size_t stackBytes = 0) {
        const std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
        const std::string bound = std::string("TANDU_RUN_SECONDS=") + runSeconds;
        return program_test::RunProgram({"TANDU_HEADLESS=1", bound, runtime}, 60000, (folder / "tandu").c_str(),
                                        (folder / "stderr").string(), stackBytes);
    }

    fs::path folder;
};

// The run ended with status 0 and wrote each of `lines` once.
void ExpectEndedHaving(const program_test::Outcome& run, std::initializer_list<const char*> lines) {
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* line : lines)
        EXPECT_EQ(program_test::Occurrences(run.errors, line), 1) << line << "\n" << run.errors;
}

// Script that runs `body` a tenth of a second into the run, once the scene is open.
std::string Later(const std::string& body) {
    return "var later = { run: function () {\n" + body + "} };\nsetTimeoutObject(later, \"run\", 100);\n";
}

// A fifth of a second into the run the probe says the program still runs.
constexpr const char* kProbe = "var probe = { report: function () { shell.print(\"still running\"); } };\n"
                               "setTimeoutObject(probe, \"report\", 200);\n";

TEST_F(HostileSceneTest, ASceneThatClosesItselfWhileItLoadsEndsTheProgram) {
    // The run bound is far away: only the scene's own close can end the run in time.
    const char* closes[] = {"__scriptHelper.getSceneProxy().close();\n",
                            "shell.closeScene(__scriptHelper.getSceneProxy());\n"};
    for (const char* close : closes) {
        SCOPED_TRACE(close);
        Write("main.box", SceneWithScript("main.js"));
        Write("main.js", std::string(kProbe) + close + "shell.print(\"asked to close\");\n");
        program_test::Outcome run = Run("50");
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(program_test::Occurrences(run.errors, "asked to close\n"), 1) << run.errors;
        EXPECT_EQ(program_test::Occurrences(run.errors, "still running\n"), 0) << run.errors;
    }
}

TEST_F(HostileSceneTest, ASecondSceneThatClosesItselfWhileItLoadsLeavesTheFirstRunning) {
    // Opened while the first loads, once it runs, and as a modal dialog that the call waits for.
    const std::string opens[] = {
        "shell.openScene(\"second.box\", null, \"second\", null, null, false);\n",
        Later("    try { shell.openScene(\"second.box\", null, \"second\", null, null, false); } catch (e) {}\n"),
        Later("    shell.openSceneAndWait(\"second.box\", shell.getSceneByName(\"main\"), \"second\", null);\n"
              "    shell.print(\"waited, scenes open: \" + shell.sceneCount);\n"),
    };
    Write("main.box", SceneWithScript("main.js"));
    Write("second.box", SceneWithScript("second.js"));
    Write("second.js", "__scriptHelper.getSceneProxy().close();\n");
    for (const std::string& open : opens) {
        SCOPED_TRACE(open);
        Write("main.js", kProbe + open);
        program_test::Outcome run = Run();
        ExpectEndedHaving(run, {"still running\n"});
        if (open.find("AndWait") != std::string::npos) ExpectEndedHaving(run, {"waited, scenes open: 1\n"});
    }
}

TEST_F(HostileSceneTest, AScriptOpensNoFileOutsideTheResourcesFolder) {
    // The same scene and library beside the resources folder and inside it: only the inside ones open.
    const std::string scene = std::string(kBoxHeader) + "  <simpleText value=\"the secret scene\"/>\n</vbox>\n";
    const std::string library = "<library xmlns=\"http://www.kestrum.com/weftly/resource.xsd\"/>\n";
    std::ofstream(folder / "secret.box") << scene;
    std::ofstream(folder / "secret-library.box") << library;
    Write("inside.box", scene);
    Write("inside-library.box", library);
    const std::string outside = "file://" + folder.string() + "/";
    const std::string inside = outside + "resources/";
    std::string probes = "var scene = __scriptHelper.getSceneProxy();\n"
                         "function probe(name, f) {\n"
                         "    var got = null;\n"
                         "    try { got = f(); } catch (e) {}\n"
                         "    shell.print(name + (got ? \" opened\" : \" refused\"));\n"
                         "}\n";
    for (const auto& [where, base] : {std::pair{"outside", outside}, std::pair{"inside", inside}}) {
        const std::string box = base + (std::string(where) == "outside" ? "secret" : "inside");
        probes += "probe(\"" + std::string(where) + " openScene\", function () { return shell.openScene(\"" + box +
                  ".box\", null, \"" + where + "\", null, null, false); });\n";
        probes += "probe(\"" + std::string(where) +
                  " getResourceStream\", function () { return appUtils.getResourceStream(\"" + box + ".box\"); });\n";
        probes += "probe(\"" + std::string(where) +
                  " shell.importLibrary\", function () { return shell.importLibrary(\"" + box +
                  "-library.box\"); });\n";
        probes += "probe(\"" + std::string(where) +
                  " scene.importLibrary\", function () { return scene.importLibrary(\"" + box +
                  "-library.box\"); });\n";
    }
    Write("main.box", SceneWithScript("main.js"));
    Write("main.js", probes);
    program_test::Outcome run = Run();
    for (const char* road : {"openScene", "getResourceStream", "shell.importLibrary", "scene.importLibrary"}) {
        ExpectEndedHaving(run, {("outside " + std::string(road) + " refused\n").c_str(),
                                ("inside " + std::string(road) + " opened\n").c_str()});
    }
    EXPECT_EQ(program_test::Occurrences(run.errors, "File outside the resources folder: " + outside + "secret.box"), 1)
        << run.errors;
}

TEST_F(HostileSceneTest, AnOverlongNameAScriptAsksForFailsOnlyThatCall) {
    // Asked for while the scene's markup is read: the markup read afterwards is not the worse for it.
    Write("main.box", std::string(kBoxHeader) + "  <script language=\"javascript\" src=\"main.js\"/>\n"
                                                "  <simpleText id=\"after\" value=\"read after the script\"/>\n"
                                                "</vbox>\n");
    Write(
        "main.js",
        std::string(kProbe) +
            "var scene = __scriptHelper.getSceneProxy();\n"
            "var long = new Array(5000).join(\"x\");\n"
            "shell.print(\"box: \" + scene.createBox(long));\n"
            "try { scene.addCommandGroup(long); } catch (e) {}\n" +
            Later("    shell.print(shell.getSceneByName(\"main\").getBoxById(\"after\").getAttribute(\"value\"));\n"));
    program_test::Outcome run = Run();
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(program_test::Occurrences(run.errors, "Name too long"), 0) << run.errors;
    EXPECT_EQ(program_test::Occurrences(run.errors, "read after the script\n"), 1) << run.errors;
    EXPECT_EQ(program_test::Occurrences(run.errors, "still running\n"), 1) << run.errors;
}

TEST_F(HostileSceneTest, AFailedSceneKeepsTheNamesItsScriptGaveToAnotherScene) {
    // The second scene's markup adds a name, its script gives that name to a box of the first scene,
    // then the markup breaks.
    Write("main.box", std::string(kBoxHeader) + "  <simpleText id=\"title\" value=\"Tandu\"/>\n"
                                                "  <script language=\"javascript\" src=\"main.js\"/>\n</vbox>\n");
    Write("main.js",
          Later("    var title = shell.getSceneByName(\"main\").getBoxById(\"title\");\n"
                "    try { shell.openScene(\"broken.box\", null, \"second\", null, null, false); } catch (e) {}\n"
                "    title.setAttribute(\"aNameMadeLater\", \"1\");\n"
                "    shell.print(\"id after the failed load: \" + title.getAttribute(\"id\"));\n"
                "    shell.print(\"found by id: \" + (shell.getSceneByName(\"main\").getBoxById(\"freshName\") == "
                "title));\n"));
    Write("broken.box", "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"second\">\n"
                        "  <box id=\"freshName\"/>\n"
                        "  <script language=\"javascript\" src=\"second.js\"/>\n"
                        "  <box></hbox>\n"
                        "</vbox>\n");
    Write("second.js", "shell.getSceneByName(\"main\").getBoxById(\"title\").setAttribute(\"id\", \"freshName\");\n");
    program_test::Outcome run = Run();
    ExpectEndedHaving(run, {"mismatched tag. File:broken.box. Line#4 Column#9\n",
                            "id after the failed load: freshName\n", "found by id: true\n"});
}

// Boxes nested `depth` deep under the root, the innermost with the id "deepest"; each level
// strokes, shades, turns and fades, so painting takes its longer roads at every level.
std::string NestedScene(int depth) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
                       "xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\" id=\"main\">\n";
    for (int i = 2; i < depth; ++i)
        text += "<box s:flex=\"1\" s:stroke=\"#ff102030\" s:strokeWidth=\"2\" s:fill=\"#80406080\" s:opacity=\"0.9\" "
                "s:rotation=\"1\" s:textShadowOffsetX=\"1\" s:mask=\"auto\">\n";
    if (depth >= 2) text += "<box id=\"deepest\" s:flex=\"1\"/>";
    for (int i = 2; i < depth; ++i)
        text += "</box>";
    return text + "\n<script language=\"javascript\" src=\"main.js\"/>\n</vbox>\n";
}

TEST_F(HostileSceneTest, MarkupNestedDeeperThanBoxesMayIsRefusedWithItsPlace) {
    Write("main.box", NestedScene(17000));
    Write("main.js", "");
    program_test::Outcome run = Run();
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_EQ(program_test::Occurrences(
                  run.errors, "Elements nested too deeply (more than 256 levels). File:main.box. Line#258 Column#0\n"),
              1)
        << run.errors;
}

// The deepest scene there may be is loaded, styled, laid out, painted, hit and destroyed on a
// stack of 1 MiB, an eighth of what the program usually has.
TEST_F(HostileSceneTest, ASceneAtTheDepthLimitRunsOnASmallStack) {
    Write("main.box", NestedScene(256));
    Write("main.js", Later("    var scene = shell.getSceneByName(\"main\");\n"
                           "    var hit = scene.getBoxAtPoint(240, 400);\n"
                           "    shell.print(\"hit \" + (hit ? hit.getAttribute(\"id\") : \"nothing\"));\n"));
    program_test::Outcome run = Run("1", size_t(1) << 20);
    ExpectEndedHaving(run, {"hit deepest\n"});
}

TEST_F(HostileSceneTest, AScriptCannotNestBoxesDeeperThanTheLimit) {
    Write("main.box", SceneWithScript("main.js"));
    Write("main.js",
          "var scene = __scriptHelper.getSceneProxy();\n" +
              Later("    var tip = shell.getSceneByName(\"main\").rootBox, levels = 1;\n"
                    "    for (var i = 0; i < 20000; ++i) {\n"
                    "        var box = scene.createBox(\"box\");\n"
                    "        if (!tip.addChild(box)) break;\n"
                    "        tip = box;\n"
                    "        ++levels;\n"
                    "    }\n"
                    "    var more = scene.createBox(\"box\");\n"
                    "    shell.print(\"levels \" + levels + \", insertChildAt \" + tip.insertChildAt(more, 0));\n"
                    "    var top = shell.getSceneByName(\"main\").rootBox;\n"
                    "    var pair = scene.createBox(\"box\");\n"
                    "    pair.addChild(more);\n"
                    "    shell.print(\"pair above the tip \" + tip.parent.addChild(pair) + \", at the top \" + "
                    "top.addChild(pair));\n"));
    program_test::Outcome run = Run();
    ExpectEndedHaving(run, {"levels 256, insertChildAt false\n", "pair above the tip false, at the top true\n"});
}

// Style values at the ends of the 32-bit range, each on a box, its child and its text, and in pairs
// whose sums overflow: the sizes saturate where they add up. Layout, painting, hit tests and
// scrolling run over all of them; the sanitizer build fails at the first overflow.
TEST_F(HostileSceneTest, StyleValuesAtThe32BitEndsSaturate) {
    const char* values[] = {"2000000000", "-2000000000", "2147483647", "-2147483648", "8388608", "-8388608"};
    const char* properties[] = {"marginLeft",
                                "marginRight",
                                "marginTop",
                                "marginBottom",
                                "paddingLeft",
                                "paddingRight",
                                "paddingTop",
                                "paddingBottom",
                                "width",
                                "height",
                                "minWidth",
                                "minHeight",
                                "maxWidth",
                                "maxHeight",
                                "hSpace",
                                "vSpace",
                                "flex",
                                "left",
                                "top",
                                "right",
                                "bottom",
                                "clipTop",
                                "clipLeft",
                                "clipRight",
                                "clipBottom",
                                "fillSliceTop",
                                "fillSliceLeft",
                                "fillSliceRight",
                                "fillSliceBottom",
                                "fillCornerRadiusTop",
                                "fillCornerRadiusLeft",
                                "strokeWidth",
                                "strokeCornerRadiusTop",
                                "strokeCornerRadiusRight",
                                "textShadowOffsetX",
                                "textShadowOffsetY",
                                "shadowRadius",
                                "shadowLeft",
                                "shadowTop",
                                "bevelRadius",
                                "bevelLeft",
                                "bevelTop",
                                "offsetTop",
                                "offsetLeft",
                                "fillRepeatOriginX",
                                "fillRepeatOriginY",
                                "zIndex",
                                "fontSize",
                                "rotation",
                                "scale",
                                "opacity"};
    std::string boxes;
    for (const char* v : values) {
        const std::string value = std::string("=\"") + v + "\"";
        for (const char* p : properties) {
            const std::string style = std::string(" s:") + p + value;
            boxes += "<hbox s:fill=\"#ff336699\" s:stroke=\"#ff000000\"" + style + "><box s:fill=\"#ff993366\"" +
                     style + "/><simpleText value=\"x\"" + style + "/><box s:flex=\"1\"/></hbox>\n";
        }
        const std::string h = " s:marginLeft" + value + " s:marginRight" + value;
        const std::string v2 = " s:marginTop" + value + " s:marginBottom" + value;
        boxes += "<hbox" + h + " s:paddingLeft" + value + " s:paddingRight" + value + " s:hSpace" + value +
                 "><box s:width" + value + h + "/><box s:width" + value + " s:flex" + value +
                 "/><box s:flex=\"1\" s:width" + value + "/></hbox>\n";
        boxes += "<vbox s:overflow=\"scroll\"" + v2 + " s:paddingTop" + value + " s:paddingBottom" + value +
                 " s:vSpace" + value + "><box s:height" + value + v2 + "/><box s:height" + value + " s:flex" + value +
                 "/><box s:flex=\"1\" s:height" + value + " s:vAlign=\"center\" s:hAlign=\"end\"/></vbox>\n";
    }
    Write("main.box", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
                      "xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\" id=\"main\" s:overflow=\"scroll\">\n" +
                          boxes + "<script language=\"javascript\" src=\"main.js\"/>\n</vbox>\n");
    Write("main.js", Later("    var scene = shell.getSceneByName(\"main\"), ends = [2147483647, -2147483648, 0, 240];\n"
                           "    for (var i = 0; i < ends.length; ++i)\n"
                           "        for (var j = 0; j < ends.length; ++j) try { scene.getBoxAtPoint(ends[i], ends[j]); "
                           "} catch (e) {}\n"
                           "    scene.rootBox.scrollBy(2147483647, 2147483647);\n"
                           "    scene.rootBox.scrollBy(-2147483648, -2147483648);\n"
                           "    shell.print(\"survived\");\n"));
    program_test::Outcome run = Run();
    ExpectEndedHaving(run, {"survived\n"});
}

} // namespace
