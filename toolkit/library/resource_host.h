#pragma once
// What gadgets and themes ask of the runtime and of the scene their boxes live in. Both live above
// the library: the runtime and the scene install themselves as these interfaces, and a box's scene
// that is not a full scene (a test's plain box scene) is not one.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/atoms.h"
#include "toolkit/scripthost/script_host.h"

class oxBox;
class oxElement;
class oxGadgetInstance;
class oxLibrary;
namespace NUBO {
class XObject;
}

class oxResourceRuntime : public oxScriptHost {
public:
    // The library of a URI, loaded when needed; null when it cannot be loaded. Not add-referenced.
    virtual oxLibrary* LoadLibrary(const WCHAR* uri) = 0;
    // True when the library was dropped; false while others still hold it.
    virtual bool UnloadLibrary(const WCHAR* uri) = 0;
    // Blocks, and then restyles and relays, every open scene around a change of libraries.
    virtual void BeginUpdateAll() = 0;
    virtual void EndUpdateAll() = 0;
    virtual void ReportFileNotFound(const WCHAR* uri) = 0;
    virtual void ReportError(int level, const WCHAR* text) = 0;
    // A gadget script instance for the box (the caller owns it), or null.
    virtual oxGadgetInstance* CreateGadgetInstance(const WCHAR* source, oxAtom language, oxBox* box) = 0;

protected:
    ~oxResourceRuntime() = default;
};

class oxResourceScene {
public:
    // The runtime that opened the scene, or null.
    virtual oxResourceRuntime* GetResourceRuntime() const = 0;
    // Open and building its boxes now rather than deferring their construction.
    virtual bool IsConstructing() const = 0;
    virtual oxElement* FindGadgetByTag(oxAtom tag) = 0;
    virtual oxElement* CreateGroupElement(oxBox* owner, oxAtom tag, bool gadget) = 0;
    // The scene's script object through the runtime's object cache (1 with a reference), else 0.
    virtual int GetScriptObject(NUBO::XObject** out) = 0;

protected:
    ~oxResourceScene() = default;
};
