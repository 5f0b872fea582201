#pragma once
// oxBuiltinCommandHandler: the script "toolkit" of every scene. A command, key binding or reaction
// of that script names one of the toolkit's own box actions (focus, scrolling, popups and menus,
// controls, dialog buttons, event propagation, text commands), acted on the event's target; a data
// binding of that script names a validation word that tests the bound text. One instance serves
// the program: the application makes it at start and releases it at shutdown.
#include <cstdint>

#include "toolkit/base/atoms.h"
#include "toolkit/scene/builtin_commands.h"

class oxBox;

class oxBuiltinCommandHandler final : public oxBuiltinCommands {
public:
    // The instance, made on first use (not counted for the caller); null when memory ran out, and
    // then made again on the next call.
    static oxBuiltinCommandHandler* GetInstance();
    // Drops the creation reference of the instance, when there is one.
    static void ReleaseInstance();

    ULONG AddRef() { return ++refs_; }
    ULONG Release();

    oxAtom GetLanguage() const { return kAtomToolkit; }
    const WCHAR* GetSourceText() const { return u""; }
    int32_t ExecuteCommand(const WCHAR* name, oxEvent* event) override;
    int32_t ExecuteBindingScript(const WCHAR* word, const WCHAR* text, VARIANT* result) override;

    int32_t GetWheelStep() const { return wheelStep_; }

private:
    oxBuiltinCommandHandler();
    ~oxBuiltinCommandHandler();

    int32_t ScrollStep(oxBox* target, int32_t delta, int32_t factor);

    int32_t refs_ = 1;
    int32_t wheelStep_ = 3;
};
