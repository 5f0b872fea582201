// Scenes opened from markup files through the runtime: the tree they build and style, the road of
// their events, their close, their built-in dialog, and the faults they survive.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/timer.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_dictionary.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/scene/tests/scene_test_support.h"

using NUBO::TWString;
using NUBO::XObject;
using NUBO::XVariant;
using namespace scene_test;
using toolkit_test::Utf8;
using toolkit_test::Wide;

namespace {

class SceneTest : public SceneFixture {};

TEST_F(SceneTest, OpensBuildsAttachesAndStylesTheTreeAndShowsIt) {
    oxScene* scene = OpenFixture("styled.box");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->GetOpenState(), 2);
    uint32_t state = scene->GetState();
    EXPECT_TRUE(state & oxScene::kConstructed);
    EXPECT_TRUE(state & oxScene::kAttached);
    EXPECT_TRUE(state & oxScene::kOpen);
    EXPECT_FALSE(state & (oxScene::kNeedsLayout | oxScene::kWindowsNotShown | oxScene::kBindingsPending));
    TWString dump;
    oxDumpBoxTree(scene->GetRootBox(), dump, kDumpStyle);
    EXPECT_EQ(Utf8(dump.GetString()), ReadData("styled.txt"));
    auto* window = dynamic_cast<oxStandInSceneWindow*>(scene->GetWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->shown);
    EXPECT_GE(window->updates, 1) << "the open paints";
    EXPECT_EQ(listener->calls, std::vector<std::string>{"onSceneOpen([Scene])"});
    // Ids are found below the root and forgotten with their box.
    oxBox* title = scene->GetBoxById(oxAtoms::Find(u"title"), false);
    ASSERT_NE(title, nullptr);
    title->GetParent()->RemoveChild(title, false);
    scene->DestroyBox(title);
    EXPECT_EQ(scene->GetBoxById(oxAtoms::Find(u"title"), false), nullptr);
}

// The open lays the tree out in the window's client area: the root takes all of it, the row spans
// the root's width, and its two boxes sit side by side.
TEST_F(SceneTest, TheOpenLaysTheTreeOutInTheWindowsClientArea) {
    oxScene* scene = OpenFixture("laid_out.box");
    ASSERT_NE(scene, nullptr);
    const oxRect client = scene->GetWindow()->GetClientRect();
    ASSERT_GT(client.width, 100);
    oxBox* root = scene->GetRootBox();
    auto rectOf = [&](const char16_t* id) {
        oxBox* box = scene->GetBoxById(oxAtoms::Find(id), false);
        return box ? box->GetBoxRect() : oxRect();
    };
    EXPECT_EQ(root->GetBoxRect().width, client.width);
    EXPECT_EQ(root->GetBoxRect().height, client.height);
    const oxRect row = rectOf(u"row"), left = rectOf(u"left"), right = rectOf(u"right");
    EXPECT_EQ(row.width, client.width);
    EXPECT_EQ(row.height, 40);
    EXPECT_EQ(left.width, 100);
    EXPECT_EQ(right.x, left.x + 100);
    EXPECT_EQ(right.width, client.width - 100) << "the second box takes the rest of the row";
}

TEST_F(SceneTest, EventsReachTheSceneHandlersThenTheBoxesThenTheOpener) {
    oxScene* opener = OpenMarkup("opener.box", SceneMarkup("<box id=\"x\"/>"));
    oxScene* dialog = OpenMarkup("dialog.box", SceneMarkup("<hbox id=\"outer\"><box id=\"inner\"/></hbox>"), opener);
    ASSERT_TRUE(opener && dialog);
    EXPECT_EQ(opener->GetDialogCount(), 1u);
    oxAtom type = oxAtoms::Intern(u"ping");
    std::vector<std::string> log;
    RefPtrListener first = MakeListener(&log, "dialog-1");
    RefPtrListener second = MakeListener(&log, "dialog-2");
    RefPtrListener upstairs = MakeListener(&log, "opener");
    dialog->AddEventListener(type, first.get());
    dialog->AddEventListener(type, second.get());
    dialog->AddEventListener(type, first.get()); // kept once
    opener->AddEventListener(type, upstairs.get());

    oxBox* inner = dialog->GetBoxById(oxAtoms::Find(u"inner"), false);
    ASSERT_NE(inner, nullptr);
    auto send = [&](oxBox* target) {
        oxNotificationEvent event(type, target);
        event.AddFlags(kEventToScene);
        return dialog->DispatchEvent(&event);
    };
    EXPECT_EQ(send(inner), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"dialog-1", "dialog-2", "opener"}));

    // A box on the way up that stops propagation keeps the event from the opener.
    log.clear();
    dialog->GetBoxById(oxAtoms::Find(u"outer"), false)->SetAttribute(kAtomStopPropagation, u"true", true, false);
    send(inner);
    EXPECT_EQ(log, (std::vector<std::string>{"dialog-1", "dialog-2"}));

    // A handler that answers 0 ends the scene's handlers.
    log.clear();
    first->answer = 0;
    send(inner);
    EXPECT_EQ(log, std::vector<std::string>{"dialog-1"});

    // Closing the opener closes its dialog with it: the dialog was released first.
    opener->Close(false);
    EXPECT_EQ(runtime()->GetSceneCount(), 1);
}

// A dialog that closes tells an active opener's root that its "active" state stands again; an
// inactive opener hears nothing.
TEST_F(SceneTest, AClosingDialogTellsItsActiveOpener) {
    struct Heard : oxChangeListener {
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
        void OnAttributeChanged(oxBox*, oxAtom attribute) override {
            if (attribute == kAtomActive) ++active;
        }
        void OnStyleChanged(oxBox*, int) override {}
        int active = 0;
    } heard;
    oxScene* opener = OpenMarkup("opener.box", SceneMarkup("<box id=\"x\"/>"));
    ASSERT_NE(opener, nullptr);
    oxBox* root = opener->GetRootBox();
    root->AddChangeListener(&heard);
    for (bool active : {false, true}) {
        SCOPED_TRACE(active);
        root->SetStateFlag(kStateActive, active);
        heard.active = 0;
        oxScene* dialog = OpenMarkup("dialog.box", SceneMarkup("<box id=\"y\"/>"), opener);
        ASSERT_NE(dialog, nullptr);
        dialog->Close(false);
        EXPECT_EQ(heard.active, active ? 1 : 0);
    }
    root->RemoveChangeListener(&heard);
}

TEST_F(SceneTest, ACloseAskedForDuringDispatchWaitsForTheOutermostDispatch) {
    oxScene* scene = OpenMarkup("closing.box", SceneMarkup("<box id=\"x\"/>"));
    ASSERT_NE(scene, nullptr);
    oxAtom outer = oxAtoms::Intern(u"outer"), inner = oxAtoms::Intern(u"inner");
    std::vector<std::string> log;
    RefPtrListener nested = MakeListener(&log, "outer");
    RefPtrListener closer = MakeListener(&log, "inner");
    nested->onEvent = [&](oxEvent*) {
        oxNotificationEvent event(inner, scene->GetRootBox());
        EXPECT_EQ(scene->DispatchEvent(&event), 1) << "not the outermost dispatch";
        log.push_back(runtime()->GetSceneCount() == 1 ? "still open" : "closed");
    };
    closer->onEvent = [&](oxEvent*) { scene->Close(false); };
    scene->AddEventListener(outer, nested.get());
    scene->AddEventListener(inner, closer.get());
    oxNotificationEvent event(outer, scene->GetRootBox());
    EXPECT_EQ(scene->DispatchEvent(&event), 0) << "the close was carried out";
    EXPECT_EQ(log, (std::vector<std::string>{"outer", "inner", "still open"}));
    EXPECT_EQ(runtime()->GetSceneCount(), 0);
    EXPECT_EQ(listener->calls.back(), "onFinalSceneClose()");
}

TEST_F(SceneTest, ACancelledCloseEventLeavesTheSceneOpen) {
    oxScene* scene = OpenMarkup("cancel.box", SceneMarkup(""));
    ASSERT_NE(scene, nullptr);
    std::vector<std::string> log;
    RefPtrListener refuser = MakeListener(&log, "close");
    refuser->onEvent = [](oxEvent* event) { event->AddFlags(kEventDefaultPrevented); };
    scene->AddEventListener(kAtomClose, refuser.get());
    scene->Close(false);
    EXPECT_EQ(runtime()->GetSceneCount(), 1);
    EXPECT_EQ(log, std::vector<std::string>{"close"});
    scene->RemoveEventListener(kAtomClose, refuser.get());
    scene->Close(false);
    EXPECT_EQ(runtime()->GetSceneCount(), 0);
}

TEST_F(SceneTest, MessagesReachTheSceneHandlerAndReturnItsResult) {
    oxScene* scene = OpenMarkup("messages.box", SceneMarkup(""));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->SendMessage(u"refresh", nullptr), 0) << "no handler answers";
    std::vector<std::string> log;
    RefPtrListener handler = MakeListener(&log, "message");
    handler->onEvent = [&](oxEvent* event) {
        auto* message = dynamic_cast<oxMessageEvent*>(event);
        ASSERT_NE(message, nullptr);
        NUBO::XObject* params = nullptr;
        message->GetParams(&params);
        int extra = params ? 2 : 0; // the params travel with the message
        if (params) params->Release();
        message->result = message->message == int32_t(oxAtoms::Find(u"refresh")) ? 40 + extra : -1;
    };
    scene->AddEventListener(kAtomMessage, handler.get());
    XObject* rawParams = nullptr;
    ASSERT_EQ(NUBO::CreateXDictionary(&rawParams), 0);
    NUBO::RefPtr<XObject> params(rawParams);
    XVariant two(2);
    params->SetPropertyByName(u"count", &two);
    EXPECT_EQ(scene->SendMessage(u"refresh", params.get()), 42);
    EXPECT_EQ(scene->SendMessage(nullptr, nullptr), 0);
}

TEST_F(SceneTest, BuiltInDialogRunsModallyAndAnswersItsCaller) {
    ASSERT_TRUE(InstallDialog());
    oxScene* scene = OpenMarkup("asks.box", SceneMarkup("<box id=\"x\"/>"));
    ASSERT_NE(scene, nullptr);
    struct Case {
        const WCHAR* type;
        uint16_t key;
        std::string button;
    };
    const Case cases[] = {{u"confirm", 13, "confirm"}, {u"confirm", 27, "cancel"}, {u"alert", 13, "confirm"}};
    for (const Case& c : cases) {
        PressInDialog(c.key);
        XObject* raw = nullptr;
        ASSERT_EQ(scene->ShowBuiltInDialog(c.type, u"Body", u"Title", nullptr, 2, &raw), 1);
        NUBO::RefPtr<XObject> results(raw);
        EXPECT_EQ(PropertyText(results.get(), u"button"), c.button) << Utf8(c.type) << " " << c.key;
        EXPECT_EQ(seenInDialog.size(), 1u) << "the dialog was open while the caller waited";
        if (!seenInDialog.empty() && c.type == std::u16string(u"confirm")) {
            EXPECT_EQ(seenInDialog[0], "Yes/No/Body/Title/medium");
        }
        EXPECT_TRUE(dialogDisabledOpener);
        EXPECT_EQ(runtime()->GetSceneCount(), 1) << "the dialog closed";
        EXPECT_EQ(scene->GetModalDialogCount(), 0u);
        EXPECT_EQ(scene->GetDialogCount(), 0u);
        seenInDialog.clear();
    }
    // A prompt's text comes back as "promptValue".
    PressInDialog(13);
    XObject* raw = nullptr;
    ASSERT_EQ(scene->Prompt(u"Name?", u"Ask", u"Ann", 0, &raw), 1);
    NUBO::RefPtr<XObject> results(raw);
    EXPECT_EQ(PropertyText(results.get(), u"promptValue"), "Ann");
    auto* window = dynamic_cast<oxStandInSceneWindow*>(scene->GetWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->enabled) << "the caller's window is enabled again";
}

TEST_F(SceneTest, AFaultySceneOpensWhatItCanAndReportsEachFaultOnce) {
    // Imports are read only inside the resources folder, so the scene lives there.
    std::string boxFolder = "scene-test-" + std::to_string(getpid());
    WriteBoxFile(boxFolder + "/thrower.js", ReadData("thrower.js"));
    std::u16string uri = WriteBoxFile(boxFolder + "/faults.box", ReadData("faults.box"));
    ::testing::internal::CaptureStderr();
    oxScene* scene = runtime()->OpenSceneSimple(uri.c_str(), nullptr, nullptr, nullptr, nullptr, false);
    std::string debugText = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(scene, nullptr) << ::testing::PrintToString(listener->calls) << debugText;
    for (const char* id : {"root", "styled", "kept"})
        EXPECT_NE(scene->GetBoxById(oxAtoms::Find(Wide(id).c_str()), false), nullptr) << id;
    for (const char* id : {"unknown", "lost"}) {
        oxAtom atom = oxAtoms::Find(Wide(id).c_str());
        EXPECT_TRUE(atom == 0 || scene->GetBoxById(atom, false) == nullptr) << id;
    }
    // Each fault once, by its message: the listener's line reads (source, line, column, message).
    std::vector<std::string> expected = {
        "File not found",      // the import, as the markup reaches it
        "scene script failed", // the script, when its element ends
        // Style text when the document has been read.
        "Invalid value \"abc\" for style property \"opacity\"",
        "Invalid value \"notacolour\" for style property \"fill\"",
        "onSceneOpen([Scene])",
    };
    std::vector<std::string> calls;
    for (const std::string& call : listener->calls) {
        if (call.rfind("onSceneLoadingError(", 0) != 0) {
            calls.push_back(call);
            continue;
        }
        size_t at = 0;
        for (int comma = 0; comma < 3 && at != std::string::npos; ++comma)
            at = call.find(", ", at + 1);
        calls.push_back(at == std::string::npos ? call : call.substr(at + 2, call.size() - at - 3));
    }
    EXPECT_EQ(calls, expected) << debugText;
    EXPECT_NE(debugText.find("Unrecognized tag: \"nosuchtag\""), std::string::npos) << debugText;
}

} // namespace
