// The file dialogs: the toolkit's dialog scene, answered by taps, through the desktop service that
// scripts and frames call.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/path_map.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_array.h"
#include "toolkit/core/box.h"
#include "toolkit/script/app_utils.h"
#include "toolkit/script/shell.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"
#include "toolkit/script/tests/while_blocked.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/scene_frame.h"

namespace script_api_test {
namespace {

namespace fs = std::filesystem;

class FileDialogTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        ASSERT_EQ(shell()->AddNamedObject(NUBO::TWString(u"appUtils"), utils.get()), 0);
        owner = Open("commands.box", "owner");
        ASSERT_NE(owner, nullptr);
        const fs::path files = fs::path(folder) / "files";
        fs::create_directories(files / "sub");
        for (const char* name : {"a.txt", "b.txt", "c.box", "sub/d.txt"})
            std::ofstream(files / name) << name;
        device = platform::DevicePathFromHost(files.string());
        ASSERT_FALSE(device.empty());
        platform::headless::UseVirtualClock(0);
        current = this;
    }
    void TearDown() override {
        platform::headless::UseRealClock();
        // A step still waiting would otherwise run in the next test of this process.
        while_blocked::Pending() = nullptr;
        current = nullptr;
        ScriptApiTest::TearDown();
    }

    static oxScene* Dialog(const char16_t* name = u"_fileDialog") {
        return current->runtime()->FindSceneByName(name);
    }
    // The dialog's box of the id, or its entry of that text.
    static oxBox* Find(const char16_t* idOrText) {
        oxScene* dialog = Dialog();
        if (!dialog) return nullptr;
        if (oxBox* box = dialog->GetBoxById(oxAtoms::Intern(idOrText), false)) return box;
        oxBox* entries = dialog->GetBoxById(oxAtoms::Intern(u"entries"), false);
        for (int i = 0; entries && i < entries->GetChildCount(); ++i) {
            oxBox* entry = entries->GetChildAt(i, false);
            const WCHAR* text = entry->GetAttributeText(kAtomValue);
            if (text && std::u16string(text) == idOrText) return entry;
        }
        return nullptr;
    }
    // A tap on the box, at its screen place.
    static bool Tap(const char16_t* idOrText) {
        oxBox* box = Find(idOrText);
        oxScene* dialog = Dialog();
        if (!box || box->GetBoxRect().height == 0) return false; // not laid out yet
        POINT p{4, 4};
        for (oxBox* b = box; b && b != dialog->GetRootBox(); b = b->GetParent())
            p.x += b->GetBoxRect().x - (b->GetParent() ? b->GetParent()->GetScrollX() : 0),
                p.y += b->GetBoxRect().y - (b->GetParent() ? b->GetParent()->GetScrollY() : 0);
        auto* window = dynamic_cast<oxSceneFrame*>(dialog->GetWindow());
        if (window && window->GetFrame()) ClientToScreen(window->GetFrame()->GetWindow(), &p);
        platform::headless::Tap(p.x, p.y);
        return true;
    }
    // Runs the steps one after another inside the dialog's loop; each answers whether it could act,
    // and one that cannot yet (what it waits for is not shown yet) is tried again a little later.
    static void RunSteps(std::vector<std::function<bool()>> steps) {
        current->steps = std::move(steps);
        current->done = 0;
        current->tries = 0;
        Next();
    }
    // Steps come further apart than a double tap.
    static void Next() {
        while_blocked::RunLater([] {
            FileDialogTest* t = current;
            if (!t) return;
            if (t->done >= t->steps.size()) {
                // The dialog should have answered: one that waits on fails the test, not hangs it.
                if (!Dialog()) return;
                if (++t->tries < 50) return Next();
                ADD_FAILURE() << "the dialog is still open after the last step";
                Dialog()->Close(true);
                return;
            }
            if (!t->steps[t->done]()) {
                if (++t->tries < 20) return Next();
                ADD_FAILURE() << "step " << t->done << " found nothing to do";
                if (oxScene* dialog = Dialog()) dialog->Close(true);
                return;
            }
            t->tries = 0;
            ++t->done;
            Next();
        }, 600);
    }
    // The dialog's answer as text: the paths joined by '|'.
    std::string Show(bool save, const WCHAR* initialFile, const WCHAR* filter, const WCHAR* extension, bool multiple) {
        NUBO::XObject* raw = nullptr;
        EXPECT_EQ(ShowFileDialog(save, nullptr, u"Files", initialFile, device.c_str(), filter, extension, multiple, &raw),
                  0);
        NUBO::RefPtr<NUBO::XObject> result(raw);
        auto* array = dynamic_cast<NUBO::XArray*>(raw);
        if (!array) return "no array";
        std::string text;
        for (int i = 0; i < array->Count(); ++i) {
            NUBO::XVariant item;
            array->GetValueAt(i, &item);
            text += (i ? "|" : "") + Utf8(item.ToString().GetString());
        }
        EXPECT_EQ(Dialog(), nullptr) << "the dialog closed";
        return text;
    }
    std::string In(const std::string& name) const { return Utf8(device.c_str()) + "\\" + name; }

    static inline FileDialogTest* current = nullptr;
    NUBO::RefPtr<AppUtils> utils = NUBO::RefPtr<AppUtils>::ref(new AppUtils());
    oxScene* owner = nullptr;
    std::u16string device;
    std::vector<std::function<bool()>> steps;
    size_t done = 0;
    int tries = 0;
};

constexpr WCHAR kTextFilter[] = u"Text\0*.txt\0Everything\0*.*\0";

TEST_F(FileDialogTest, AnOpenDialogListsWhatTheFilterPassesAndAnswersTheTappedFile) {
    RunSteps({[] { return Find(u"c.box") == nullptr && Find(u"sub\\") && Find(u"..") && Tap(u"b.txt"); },
              [] { return Tap(u"ok"); }});
    EXPECT_EQ(Show(false, nullptr, kTextFilter, nullptr, false), In("b.txt"));

    // Into a folder and a file there; cancelling answers nothing.
    RunSteps({[] { return Tap(u"sub\\"); }, [] { return Tap(u"d.txt"); }, [] { return Tap(u"ok"); }});
    EXPECT_EQ(Show(false, nullptr, kTextFilter, nullptr, false), In("sub\\d.txt"));
    RunSteps({[] { return Tap(u"a.txt"); }, [] { return Tap(u"cancel"); }});
    EXPECT_EQ(Show(false, nullptr, kTextFilter, nullptr, false), "");
    RunSteps({[] { return Tap(u"ok"); }, [] { return Tap(u"cancel"); }}); // OK with nothing chosen waits
    EXPECT_EQ(Show(false, nullptr, kTextFilter, nullptr, false), "");
}

TEST_F(FileDialogTest, ChoosingSeveralFilesAnswersEachInItsFolder) {
    RunSteps({[] { return Tap(u"a.txt"); }, [] { return Tap(u"b.txt"); }, [] { return Tap(u"ok"); }});
    EXPECT_EQ(Show(false, nullptr, kTextFilter, nullptr, true), In("a.txt") + "|" + In("b.txt"));
    // A file tapped twice is chosen no more; one file is one full path.
    RunSteps({[] { return Tap(u"a.txt"); }, [] { return Tap(u"b.txt"); }, [] { return Tap(u"a.txt"); },
              [] { return Tap(u"ok"); }});
    EXPECT_EQ(Show(false, nullptr, kTextFilter, nullptr, true), In("b.txt"));
}

TEST_F(FileDialogTest, ASaveTakesTheDefaultExtensionAndAsksBeforeReplacingAFile) {
    RunSteps({[] { return Tap(u"ok"); }});
    EXPECT_EQ(Show(true, u"new", kTextFilter, u"txt", false), In("new.txt"));
    // "a" becomes "a.txt", which exists: the confirmation's Enter replaces it.
    RunSteps({[] { return Tap(u"ok"); },
              [] {
                  if (!Dialog(kBuiltInDialogName)) return false;
                  platform::headless::Key(VK_RETURN);
                  return true;
              }});
    EXPECT_EQ(Show(true, u"a", kTextFilter, u"txt", false), In("a.txt"));
    // Escape keeps it: the dialog stays until cancelled.
    RunSteps({[] { return Tap(u"ok"); },
              [] {
                  if (!Dialog(kBuiltInDialogName)) return false;
                  platform::headless::Key(VK_ESCAPE);
                  return true;
              },
              [] { return Tap(u"cancel"); }});
    EXPECT_EQ(Show(true, u"b.txt", kTextFilter, u"txt", false), "");
}

TEST_F(FileDialogTest, ScriptsOpenAndSaveThroughAppUtils) {
    const std::string scene = Utf8(owner->GetContextName().GetString()) + ".scene";
    std::string where = "'";
    for (char c : Utf8(device.c_str())) where += c == '\\' ? std::string("\\\\") : std::string(1, c);
    where += "'";
    auto paths = [&](const std::string& call) {
        return Call(owner, "(r = appUtils." + call + ", [r.count, r.getValue(0)].join('|'))");
    };
    ASSERT_TRUE(Run(owner, "var r;"));
    // The first pair of the script's '|' separated filter is in force: the .box file is hidden.
    RunSteps({[] { return Find(u"c.box") == nullptr && Tap(u"b.txt"); }, [] { return Tap(u"ok"); }});
    EXPECT_EQ(paths("openFileDialog(" + scene + ", 'Files', '', " + where + ", 'Text|*.txt|Boxes|*.box', false)"),
              "string:1|" + In("b.txt"));
    RunSteps({[] { return Tap(u"ok"); }});
    EXPECT_EQ(paths("saveFileDialog(" + scene + ", 'Files', 'new', " + where + ", 'Text|*.txt', 'txt')"),
              "string:1|" + In("new.txt"));
    RunSteps({[] { return Tap(u"cancel"); }});
    EXPECT_EQ(Call(owner, "appUtils.openFileDialog(" + scene + ", 'Files', '', " + where + ", 'Text|*.txt', true).count"),
              "number:0");
    EXPECT_EQ(owner->GetFocusedBox(), nullptr);
}

} // namespace
} // namespace script_api_test
