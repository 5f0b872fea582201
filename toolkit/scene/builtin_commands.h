#pragma once
// The built-in command handler as the scene sees it: commands, key bindings and reactions whose
// script is "toolkit" name one of the toolkit's own box actions instead of script source, and data
// bindings of that script name a validation word. The handler lives with the frames, above the
// scene; it installs itself here when the application starts.
#include <cstdint>

#include "platform/com/variant.h"
#include "platform/types.h"

class oxEvent;

class oxBuiltinCommands {
public:
    // 1 when the named action was carried out on the event's target, else 0.
    virtual int32_t ExecuteCommand(const WCHAR* name, oxEvent* event) = 0;
    // 1 when the validation word is known and `result` got its boolean, else 0.
    virtual int32_t ExecuteBindingScript(const WCHAR* word, const WCHAR* text, VARIANT* result) = 0;

protected:
    ~oxBuiltinCommands() = default;
};

// The installed handler, or null before the application installs one.
oxBuiltinCommands* oxGetBuiltinCommands();
void oxSetBuiltinCommands(oxBuiltinCommands* handler);
