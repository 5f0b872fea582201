#include "platform/win/registered_message.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/crt/wide.h"

namespace {

constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;

std::mutex namesMutex;
std::vector<std::u16string>* names = nullptr; // index + 0xC000 is the id; never freed, like the ids

} // namespace

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name) return 0;
    std::lock_guard lock(namesMutex);
    if (!names) names = new std::vector<std::u16string>;
    for (size_t i = 0; i < names->size(); ++i) {
        if (_wcsicmp((*names)[i].c_str(), name) == 0) return kFirstRegisteredMessage + UINT(i);
    }
    if (names->size() > kLastRegisteredMessage - kFirstRegisteredMessage) return 0;
    names->emplace_back(name);
    return kFirstRegisteredMessage + UINT(names->size() - 1);
}
