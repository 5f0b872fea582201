#pragma once
// oxGadgetInstance: the script side of one gadget box. The gadget's script file is loaded once into
// a named item of the shared gadget context; each box then gets its own component from the
// generated `createGadget`, kept in that item under "_GadgetInstance_<box address>" until the box
// goes. The instances are kept in a map by box, which the box's gadget reads.
#include <cstdint>

#include "platform/com/variant.h"
#include "platform/types.h"
#include "runtime/wide_string.h"

class oxBox;
class oxGadgetElement;
class oxScriptContext;
namespace NUBO {
class XObject;
class XVariant;
} // namespace NUBO

inline constexpr const WCHAR* kErrorInstantiatingGadget = u"Error instantiating gadget script.";

class oxGadgetInstance {
public:
    // Takes a reference to `context`.
    oxGadgetInstance(const WCHAR* src, oxBox* box, bool language, oxScriptContext* context);
    oxGadgetInstance(const oxGadgetInstance&) = delete;
    oxGadgetInstance& operator=(const oxGadgetInstance&) = delete;
    // Removes the instance's global from the script and releases the component.
    virtual ~oxGadgetInstance();

    const WCHAR* GetLanguage() const { return u"jscript"; }
    // Loads the gadget's script into its named item of the context, once per gadget.
    void LoadScript(oxBox* box, bool language);
    // Makes the component; true when it exists. Records the instance for the box.
    bool Instantiate();
    // 1 on success.
    int Evaluate(const WCHAR* expression, NUBO::XVariant* out);
    int EvaluateWithObject(const WCHAR* expression, NUBO::XObject* object, NUBO::XVariant* out);
    bool RunScript(const WCHAR* text);
    bool RunScriptForBox(const WCHAR* text, oxBox* box);
    // Calls the component's method `name` with `argument` (null: none); true when it ran.
    bool CallMethod(const WCHAR* name, const VARIANT* argument);
    // Null before the instance is named.
    const WCHAR* GetName() const { return name_.IsEmpty() ? nullptr : name_.GetString(); }
    void SetName(const WCHAR* name) { name_ = name ? name : u""; }
    oxBox* GetBox() const { return box_; }
    NUBO::XObject* GetComponent() const { return component_; }

    // The instance made for a box, or null.
    static oxGadgetInstance* For(const oxBox* box);
    // Destroys the box's instance, if any.
    static void DestroyFor(const oxBox* box);

private:
    oxGadgetElement* FindGadget() const;
    // The item the gadget's scripts run in: its context name, or the instance's name without a language.
    const WCHAR* ItemName() const;

    NUBO::TWString src_;
    oxBox* box_;
    bool language_;
    NUBO::TWString name_;
    oxScriptContext* context_;           // one reference
    NUBO::XObject* component_ = nullptr; // one reference
};
