// The program started beside scenes with faults in them: each fault is reported once on the
// standard error with its file and place, and the program keeps running what it can until its run
// bound, then ends with status 0. (A main.box that cannot load at all is win_main_test's.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/tests/program_run.h"

namespace {

namespace fs = std::filesystem;

// The first scene: a title, the case's resources and boxes, and two scripts, main.js (the case's)
// and then the probe.
std::string MainBox(const std::string& resources = {}, const std::string& boxes = {}) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd"
      id="main" title="Tandu">
    <r:library>
        <r:style target="main" fill="#fff4f6fa"/>
)" + resources +
           R"(    </r:library>
    <simpleText id="title" value="Tandu"/>
)" + boxes +
           R"(    <script language="javascript" src="main.js"/>
    <script language="javascript" src="probe.js"/>
</vbox>
)";
}

// A fifth of a second into the run, once the scene has been laid out, the probe says so.
constexpr const char* kProbe = R"(var probe = { report: function () {
    var title = shell.getSceneByName("main").getBoxById("title");
    shell.print("still running: title " + (title.boxWidth > 0 && title.boxHeight > 0 ? "laid out" : "empty"));
} };
setTimeoutObject(probe, "report", 200);
)";
constexpr const char* kStillRunning = "still running: title laid out\n";

class BrokenSceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tandu-broken-" + std::to_string(getpid()));
        fs::create_directories(folder / "resources");
        fs::copy_file(TANDU_PROGRAM, folder / "tandu");
        Write("main.box", MainBox());
        Write("probe.js", kProbe);
        Write("main.js", "");
    }
    void TearDown() override { fs::remove_all(folder); }

    void Write(const char* name, const std::string& text) { std::ofstream(folder / "resources" / name) << text; }

    program_test::Outcome Run() {
        const std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
        return program_test::RunProgram({"TANDU_HEADLESS=1", "TANDU_RUN_SECONDS=1", runtime}, 30000,
                                        (folder / "tandu").c_str(), (folder / "stderr").string());
    }

    fs::path folder;
};

// The second scene's markup is cut wrong on its third line.
constexpr const char* kBrokenBox = "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"second\">\n"
                                   "  <hbox>\n"
                                   "    <box id=\"x\"></hbox>\n"
                                   "</vbox>\n";

TEST_F(BrokenSceneTest, AFaultIsReportedWithItsPlaceAndTheFirstSceneRunsOn) {
    struct Case {
        const char* what;
        const char* mainJs;
        const char* report; // up to the column, which the script engine does not know
    };
    const Case cases[] = {
        {"a script that throws on its third line",
         "var a = 1;\nvar b = a + 1;\nthrow new Error(\"broken on line three\");\nshell.print(\"not reached\");\n",
         "broken on line three. File:main.js. Line#3 Column#"},
        {"a second scene with malformed markup, opened once the first runs",
         "var opener = { open: function () {\n"
         "    shell.openScene(\"broken.box\", null, \"second\", null, null, false);\n"
         "} };\n"
         "setTimeoutObject(opener, \"open\", 100);\n",
         "mismatched tag. File:broken.box. Line#3 Column#18\n"},
    };
    Write("broken.box", kBrokenBox);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("main.js", c.mainJs);
        program_test::Outcome run = Run();
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(program_test::Occurrences(run.errors, c.report), 1) << run.errors;
        EXPECT_EQ(program_test::Occurrences(run.errors, kStillRunning), 1) << run.errors;
        EXPECT_EQ(program_test::Occurrences(run.errors, "not reached"), 0) << run.errors;
    }
}

TEST_F(BrokenSceneTest, ASecondSceneThatFailsWhileTheFirstLoadsLeavesTheFirstRunning) {
    // FIXME: a failed open while the first scene is still loading finds no scene open and tells the
    // listeners the last scene has closed, so the program quits before the first scene runs.
    GTEST_SKIP() << "waits for the runtime to count the scene being loaded as open";
    Write("broken.box", kBrokenBox);
    Write("main.js", "shell.openScene(\"broken.box\", null, \"second\", null, null, false);\n");
    program_test::Outcome run = Run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(program_test::Occurrences(run.errors, "mismatched tag. File:broken.box. Line#3 Column#18\n"), 1)
        << run.errors;
    EXPECT_EQ(program_test::Occurrences(run.errors, kStillRunning), 1) << run.errors;
}

TEST_F(BrokenSceneTest, AMissingPictureIsReportedOnceAndTheRestIsPainted) {
    Write("main.box", MainBox("        <r:bitmap id=\"face\" src=\"nowhere.png\"/>\n"
                              "        <r:style target=\"face\" width=\"48\" height=\"48\" fill=\"url(#face)\"/>\n",
                              "    <box id=\"face\"/>\n"));
    program_test::Outcome run = Run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(program_test::Occurrences(run.errors, kStillRunning), 1) << run.errors;
    // FIXME: the report names the file once bitmap elements decode their source; until then the
    // fill's reference is all the painter can name.
    GTEST_SKIP() << "waits for bitmap elements";
    EXPECT_EQ(program_test::Occurrences(run.errors, "nowhere.png"), 1) << run.errors;
}

} // namespace
