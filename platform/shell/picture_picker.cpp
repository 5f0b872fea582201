#include "platform/shell/picture_picker.h"

#include <algorithm>
#include <string>

namespace {
bool chosen = false;
std::u16string choice;
std::u16string lastTitle;
platform::shell::PickerShown last{nullptr, 0, 0};
} // namespace

BOOL GetOpenFileNameEx(OPENFILENAMEEX* info) {
    if (!info || !info->lpstrFile) return FALSE;
    lastTitle = info->lpstrTitle ? info->lpstrTitle : u"";
    last = {lastTitle.c_str(), info->ExFlags, last.count + 1};
    if (!chosen || choice.size() + 1 > info->nMaxFile) return FALSE;
    std::copy(choice.begin(), choice.end(), info->lpstrFile);
    info->lpstrFile[choice.size()] = 0;
    return TRUE;
}

namespace platform::shell {
void SetPictureChoice(const WCHAR* path) {
    chosen = path != nullptr;
    choice = path ? path : u"";
}
PickerShown GetLastPicker() {
    return last;
}
} // namespace platform::shell
