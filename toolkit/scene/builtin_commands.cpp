#include "toolkit/scene/builtin_commands.h"

namespace {

oxBuiltinCommands* g_builtinCommands = nullptr;

} // namespace

oxBuiltinCommands* oxGetBuiltinCommands() {
    return g_builtinCommands;
}

void oxSetBuiltinCommands(oxBuiltinCommands* handler) {
    g_builtinCommands = handler;
}
