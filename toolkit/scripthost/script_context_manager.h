#pragma once
// oxScriptContextManager: the runtime's script contexts, kept by name, so that every scene naming
// the same context shares one engine and one global namespace; "JScriptGadgets" serves gadget
// scripts outside scenes. Every new context gets, in this order, "shell", "__scriptHelper" and the
// global objects registered before the first context was made. Answers are 0 on success and 1 on
// refusal unless said otherwise; out pointers receive a context with one added reference.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/string_map.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"

class oxScriptHost;
class oxScriptContext;
namespace NUBO {
class XObject;
}

inline constexpr const WCHAR* kGadgetContextName = u"JScriptGadgets";

class oxScriptContextManager {
public:
    explicit oxScriptContextManager(oxScriptHost* runtime) : runtime_(runtime) {}
    oxScriptContextManager(const oxScriptContextManager&) = delete;
    oxScriptContextManager& operator=(const oxScriptContextManager&) = delete;
    // Releases every context and global object.
    ~oxScriptContextManager();

    // False once the first context exists: objects registered late reach no context. The object
    // may be null.
    bool AddGlobalObject(const NUBO::TWString& name, NUBO::XObject* object);
    // Refused for a null out pointer, language 0 or one other than "javascript" and "jscript", no
    // runtime, or a name in use. A failed build answers its result.
    int32_t CreateContext(oxAtom language, const WCHAR* name, oxScriptContext** out);
    int32_t GetContext(const WCHAR* name, oxScriptContext** out);
    // Drops the manager's reference; the engine goes with the last one.
    int32_t RemoveContext(const WCHAR* name);
    int32_t CreateGadgetContext(oxAtom language, oxScriptContext** out);
    int32_t GetGadgetContext(oxAtom language, oxScriptContext** out);
    int32_t RemoveGadgetContext(oxAtom language);
    // Reaches every existing context; later ones take the current value.
    void SetReportErrors(int32_t flag);
    // Runs "CollectGarbage();" in every context; always 0.
    int32_t CollectGarbage();
    // Drops every context, as the toolkit stops.
    void RemoveAllContexts();

    bool IsStarted() const { return started_; }
    int32_t GetReportErrors() const { return reportErrors_; }

private:
    struct GlobalObject {
        NUBO::TWString name;
        NUBO::XObject* object; // one reference
    };

    int32_t BuildContext(oxAtom language, oxScriptContext** out);

    bool started_ = false;
    NUBO::oxStringMap<oxScriptContext*> contexts_; // one reference each
    oxScriptHost* runtime_;
    NUBO::PtrVector<GlobalObject*> globals_;
    int32_t reportErrors_ = 0;
};
