#pragma once
// Loaded modules: the program and the shared libraries in its process. A module's handle is the
// address its image is loaded at, as on the device, so a library finds its own handle from any
// address inside it.
#include "platform/types.h"
#include "platform/win/window.h"

// The reasons a library's entry point is called for.
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

struct MODULEINFO {
    LPVOID lpBaseOfDll;
    DWORD SizeOfImage; // the span of its loaded segments, whole pages
    LPVOID EntryPoint; // null when the image names none
};
using LPMODULEINFO = MODULEINFO*;

// A pseudo handle that names the calling process.
HANDLE GetCurrentProcess();
// Only the calling process is known. GetModuleHandleW(nullptr) names the program's image. FALSE
// with ERROR_INVALID_HANDLE for a handle that is no loaded module, ERROR_INSUFFICIENT_BUFFER when
// `size` is below the record's.
BOOL GetModuleInformation(HANDLE process, HMODULE module, LPMODULEINFO info, DWORD size);

namespace platform {
// The handle of the module whose image holds `address`; null when none does.
HMODULE ModuleFromAddress(const void* address);

// A system library opened by its soname when first needed rather than linked, so that what only
// some runs use (the window and sound, the network, XML documents) costs a start nothing: its
// symbols stay its own. Null when it is not installed.
void* OpenSystemLibrary(const char* soname);
// The address of the library's symbol `name`, or null.
void* FindSystemSymbol(void* library, const char* name);
} // namespace platform

// A table of a system library's functions: a struct whose LIST(TANDU_FUNCTION_SLOT) makes one
// member per function, named and typed as the library declares it, and a loader whose body is
// TANDU_OPEN_FUNCTIONS: the library opened and the table filled on the first call, null for good
// when the library or one of the functions is missing.
#define TANDU_FUNCTION_SLOT(name) decltype(&::name) name = nullptr;
#define TANDU_FUNCTION_FIND(name)                                                                                      \
    table.name = reinterpret_cast<decltype(table.name)>(platform::FindSystemSymbol(library, #name));                   \
    ok = ok && table.name != nullptr;
#define TANDU_OPEN_FUNCTIONS(Table, soname, LIST)                                                                      \
    static const Table* opened = []() -> const Table* {                                                                \
        void* library = platform::OpenSystemLibrary(soname);                                                           \
        if (!library) return nullptr;                                                                                  \
        static Table table;                                                                                            \
        bool ok = true;                                                                                                \
        LIST(TANDU_FUNCTION_FIND)                                                                                      \
        return ok ? &table : nullptr;                                                                                  \
    }();                                                                                                               \
    return opened;
