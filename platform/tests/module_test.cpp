// Loaded modules: a handle found from an address inside the image, and the image's size, checked
// against the image's own file (its program headers read from disk) and the process's mappings.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win/last_error.h"
#include "platform/win/module.h"

namespace {

// The span of the loadable segments as the file on disk declares them, in whole pages.
uint64_t SpanFromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    ElfW(Ehdr) header{};
    file.read(reinterpret_cast<char*>(&header), sizeof header);
    const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
    uint64_t low = UINT64_MAX, high = 0;
    for (int i = 0; i < header.e_phnum && file; ++i) {
        ElfW(Phdr) segment{};
        file.seekg(std::streamoff(header.e_phoff + uint64_t(i) * header.e_phentsize));
        file.read(reinterpret_cast<char*>(&segment), sizeof segment);
        if (segment.p_type != PT_LOAD) continue;
        low = std::min<uint64_t>(low, segment.p_vaddr);
        high = std::max<uint64_t>(high, segment.p_vaddr + segment.p_memsz);
    }
    return ((high + page - 1) & ~(page - 1)) - (low & ~(page - 1));
}

// The lowest address the process maps from the file.
uintptr_t FirstMapping(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    uintptr_t lowest = UINTPTR_MAX;
    while (std::getline(maps, line)) {
        if (line.size() < path.size() || line.compare(line.size() - path.size(), path.size(), path) != 0) continue;
        lowest = std::min<uintptr_t>(lowest, std::stoull(line.substr(0, line.find('-')), nullptr, 16));
    }
    return lowest;
}

std::string RealPath(const char* path) {
    char resolved[4096];
    return realpath(path, resolved) ? resolved : path;
}

TEST(ModuleTest, ALibrarysImageIsFoundFromAnAddressInsideIt) {
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&getpid), &info));
    const std::string file = RealPath(info.dli_fname);
    HMODULE module = platform::ModuleFromAddress(reinterpret_cast<const void*>(&getpid));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(module), FirstMapping(file));
    MODULEINFO image{};
    ASSERT_TRUE(GetModuleInformation(GetCurrentProcess(), module, &image, sizeof image));
    EXPECT_EQ(image.lpBaseOfDll, static_cast<void*>(module));
    EXPECT_EQ(image.SizeOfImage, SpanFromFile(file));
}

TEST(ModuleTest, TheProgramsHandleNamesTheProgramsImage) {
    MODULEINFO image{};
    ASSERT_TRUE(GetModuleInformation(GetCurrentProcess(), GetModuleHandleW(nullptr), &image, sizeof image));
    const std::string program = RealPath("/proc/self/exe");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(image.lpBaseOfDll), FirstMapping(program));
    EXPECT_EQ(image.SizeOfImage, SpanFromFile(program));
    EXPECT_NE(image.EntryPoint, nullptr);
    EXPECT_EQ(platform::ModuleFromAddress(image.EntryPoint), static_cast<HMODULE>(image.lpBaseOfDll));
}

TEST(ModuleTest, UnknownModulesProcessesAndShortRecordsFail) {
    MODULEINFO image{};
    int local = 0;
    struct Case {
        HANDLE process;
        HMODULE module;
        DWORD size;
        DWORD error;
    };
    const Case cases[] = {
        {GetCurrentProcess(), reinterpret_cast<HMODULE>(&local), sizeof image, ERROR_INVALID_HANDLE},
        {GetCurrentProcess(), nullptr, sizeof image, ERROR_INVALID_HANDLE},
        {reinterpret_cast<HANDLE>(1), GetModuleHandleW(nullptr), sizeof image, ERROR_INVALID_HANDLE},
        {GetCurrentProcess(), GetModuleHandleW(nullptr), sizeof image - 1, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(GetModuleInformation(c.process, c.module, &image, c.size));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(platform::ModuleFromAddress(&local), nullptr) << "the stack is no module";
}

} // namespace
