#include "platform/win/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>

#include "platform/win/last_error.h"

namespace {

struct Image {
    uintptr_t base = 0; // handle: the lowest loaded address
    uintptr_t end = 0;  // past the last loaded page
    uintptr_t entry = 0;
    bool program = false;
};

struct Search {
    uintptr_t base; // 0 for the program
    Image found;
    bool ok = false;
};

int Visit(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& h = info->dlpi_phdr[i];
        if (h.p_type != PT_LOAD) continue;
        low = std::min<uintptr_t>(low, info->dlpi_addr + h.p_vaddr);
        high = std::max<uintptr_t>(high, info->dlpi_addr + h.p_vaddr + h.p_memsz);
    }
    if (high == 0) return 0;
    Image image{low & ~(page - 1), (high + page - 1) & ~(page - 1), 0, false};
    // The program is the one without a name.
    const bool isProgram = !info->dlpi_name || !info->dlpi_name[0];
    if (search->base ? image.base != search->base : !isProgram) return 0;
    // The image starts with its ELF header, which names the entry point.
    const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(image.base);
    if (header->e_entry) image.entry = info->dlpi_addr + header->e_entry;
    image.program = isProgram;
    search->found = image;
    search->ok = true;
    return 1;
}

} // namespace

HANDLE GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(intptr_t(-1));
}

BOOL GetModuleInformation(HANDLE process, HMODULE module, LPMODULEINFO info, DWORD size) {
    if (process != GetCurrentProcess() || !module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!info || size < sizeof(MODULEINFO)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    Search search{module == GetModuleHandleW(nullptr) ? 0 : reinterpret_cast<uintptr_t>(module), {}};
    dl_iterate_phdr(Visit, &search);
    if (!search.ok) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    info->lpBaseOfDll = reinterpret_cast<LPVOID>(search.found.base);
    info->SizeOfImage = DWORD(std::min<uintptr_t>(search.found.end - search.found.base, 0xFFFFFFFFu));
    info->EntryPoint = reinterpret_cast<LPVOID>(search.found.entry);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

namespace platform {

HMODULE ModuleFromAddress(const void* address) {
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fbase) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

void* OpenSystemLibrary(const char* soname) {
    // Lazy binding: only the functions a run calls are looked up.
    return soname ? dlopen(soname, RTLD_LAZY | RTLD_LOCAL) : nullptr;
}

void* FindSystemSymbol(void* library, const char* name) {
    return library && name ? dlsym(library, name) : nullptr;
}

} // namespace platform
