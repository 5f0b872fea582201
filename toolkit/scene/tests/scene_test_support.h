#pragma once
// What the scene tests share: the toolkit started with a virtual clock and a "probe" object for
// scripts, scene fixtures from tests/data/scene, a recording scene-event listener, and the built-in
// dialog installed where box:// URIs find it, with a timer that answers it by a key press.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/timer.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/scene/tests/toolkit_test_support.h"
#include "toolkit/script/shell.h"

namespace scene_test {

using toolkit_test::Wide;

// Logs its label for every event; answers `answer`; runs `onEvent` when set.
class Listener final : public oxSceneEventListener {
public:
    Listener(std::vector<std::string>* log, std::string label) : log_(log), label_(std::move(label)) {}
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override {
        if (--count_ == 0) {
            delete this;
            return 0;
        }
        return count_;
    }
    int32_t HandleEvent(oxEvent* event) override {
        log_->push_back(label_);
        if (onEvent) onEvent(event);
        return answer;
    }

    int32_t answer = 1;
    std::function<void(oxEvent*)> onEvent;

private:
    std::vector<std::string>* log_;
    std::string label_;
    ULONG count_ = 1;
};
using RefPtrListener = NUBO::RefPtr<Listener>;

inline RefPtrListener MakeListener(std::vector<std::string>* log, const std::string& label) {
    return RefPtrListener(new Listener(log, label));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string PropertyText(NUBO::XObject* object, const WCHAR* name) {
    NUBO::XVariant value;
    if (!object || object->GetPropertyByName(name, &value) != 0 || value.vt == VT_EMPTY) return "<none>";
    return toolkit_test::Utf8(value.ToString().GetString());
}

class SceneFixture : public toolkit_test::ToolkitTest {
protected:
    void SetUp() override {
        platform::headless::UseVirtualClock(1000);
        ToolkitTest::SetUp();
        // The scene's own tests read what its window was asked: the stand-in records it.
        previousMaker = SetSceneWindowMaker(nullptr);
        probe = new toolkit_test::Probe();
        probe->AddRef();
        ASSERT_EQ(app->GetShell()->AddNamedObject(NUBO::TWString(u"probe"), probe), 0);
        current = this;
    }
    void TearDown() override {
        current = nullptr;
        SetSceneWindowMaker(previousMaker);
        ToolkitTest::TearDown();
        probe->Release();
        platform::headless::UseRealClock();
    }

    oxSceneWindowMaker previousMaker = nullptr;

    static std::string DataPath(const std::string& name) { return std::string(TEST_DATA_DIR) + "/scene/" + name; }
    static std::string ReadData(const std::string& name) { return ReadFile(DataPath(name)); }
    std::u16string WriteData(const std::string& name) { return WriteFile(name, ReadData(name)); }

    oxScene* OpenMarkup(const std::string& name, const std::string& markup, oxScene* opener = nullptr) {
        std::u16string path = WriteFile(name, markup);
        // A dialog names its file relative to its opener's, as scenes do.
        if (opener) path = Wide(name);
        return runtime()->OpenSceneSimple(path.c_str(), opener, nullptr, nullptr, nullptr, opener != nullptr);
    }
    oxScene* OpenFixture(const std::string& name) {
        std::u16string path = WriteData(name);
        return runtime()->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
    }

    // The toolkit's dialog files, copied from the source tree to where box:// finds them.
    bool InstallDialog() {
        std::string source = std::string(TEST_DATA_DIR) + "/../../../../resources/KestrumToolkit/content/dialog/";
        std::string box = ReadFile(source + "dialog.box"), script = ReadFile(source + "dialog.js");
        if (box.empty() || script.empty()) return false;
        WriteBoxFile("KestrumToolkit/content/dialog/dialog.box", box);
        WriteBoxFile("KestrumToolkit/content/dialog/dialog.js", script);
        return true;
    }

    // Arms a timer that, once the dialog is open, records what it shows and presses the key in it.
    void PressInDialog(uint16_t key) {
        pendingKey = key;
        SetTimer(nullptr, 0, 10, &SceneFixture::OnDialogTimer);
    }

    static void OnDialogTimer(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        SceneFixture* self = current;
        if (!self) return;
        oxScene* dialog = self->runtime()->FindSceneByName(kBuiltInDialogName);
        if (!dialog) return;
        NUBO::XObject* params = dialog->GetParams();
        self->seenInDialog.push_back(PropertyText(params, u"confirmButton") + "/" +
                                     PropertyText(params, u"cancelButton") + "/" + PropertyText(params, u"bodyText") +
                                     "/" + PropertyText(params, u"titleText") + "/" + PropertyText(params, u"size"));
        oxScene* opener = dialog->GetOpener();
        auto* window = opener ? dynamic_cast<oxStandInSceneWindow*>(opener->GetWindow()) : nullptr;
        self->dialogDisabledOpener = window && !window->enabled;
        oxBox* target = dialog->GetFocusedBox() ? dialog->GetFocusedBox() : dialog->GetRootBox();
        oxKeyEvent press(kAtomKeyPress, target, nullptr, self->pendingKey, false, false, false, self->pendingKey);
        dialog->DispatchEvent(&press);
        // A dialog the key did not close would keep the test waiting: fail instead.
        if (oxScene* left = self->runtime()->FindSceneByName(kBuiltInDialogName)) {
            ADD_FAILURE() << "the key press left the dialog open";
            left->Close(true);
        }
    }

    toolkit_test::Probe* probe = nullptr;
    uint16_t pendingKey = 0;
    std::vector<std::string> seenInDialog;
    bool dialogDisabledOpener = false;
    static inline SceneFixture* current = nullptr;
};

} // namespace scene_test
