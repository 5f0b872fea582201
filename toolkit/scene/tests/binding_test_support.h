#pragma once
// Scenes for the data-binding tests: a scene made from markup (and an optional script file), its
// boxes by id, and collections made natively to hand to it.
#include <string>

#include "runtime/script_dictionary.h"
#include "runtime/script_object.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/tests/toolkit_test_support.h"

namespace toolkit_test {

class BindingTest : public ToolkitTest {
protected:
    // Opens a scene of the markup inside a vbox; the script, when given, is loaded from a file.
    oxScene* Open(const std::string& markup, const std::string& script = "") {
        std::string inner = markup;
        if (!script.empty()) {
            WriteFile("bound.js", script);
            inner = "<script language=\"javascript\" src=\"bound.js\"/>\n" + markup;
        }
        std::u16string path = WriteFile("bound.box", SceneMarkup(inner));
        scene = runtime()->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        if (scene) scene->ConnectPendingBindings();
        return scene;
    }
    oxBox* Box(const char* id) const {
        return scene ? scene->GetBoxById(oxAtoms::Intern(Wide(id).c_str()), false) : nullptr;
    }
    std::string Attr(const char* id, const char* attribute) const {
        oxBox* box = Box(id);
        const WCHAR* text = box ? box->GetAttribute(oxAtoms::Intern(Wide(attribute).c_str())) : nullptr;
        return text ? Utf8(text) : "(none)";
    }
    void Set(const char* id, const char* attribute, const char* value) const {
        if (oxBox* box = Box(id))
            box->SetAttribute(oxAtoms::Intern(Wide(attribute).c_str()), Wide(value).c_str(), true, false);
    }
    // Stores an object in the scene's namespace, as `scene.name = object` does.
    void Publish(const char* name, NUBO::XObject* object) const {
        NUBO::XVariant value(object);
        scene->GetSceneObject()->SetPropertyByName(Wide(name).c_str(), &value);
    }
    // A row: a dictionary of text fields.
    static NUBO::XObject* Row(std::initializer_list<std::pair<const char*, const char*>> fields) {
        NUBO::XObject* row = nullptr;
        NUBO::CreateXDictionary(&row);
        for (const auto& [key, value] : fields) {
            NUBO::XVariant v(Wide(value).c_str());
            row->SetPropertyByName(Wide(key).c_str(), &v);
        }
        return row;
    }

    oxScene* scene = nullptr;
};

} // namespace toolkit_test
