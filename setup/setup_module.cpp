#include "setup/setup_module.h"

#include <iterator>

#include "platform/win/dialog.h"
#include "platform/win/module.h"
#include "platform/win/resources.h"

namespace {

HINSTANCE moduleInstance = nullptr;

using platform::resources::DialogItemResource;
using platform::resources::DialogResource;
using platform::resources::StringResource;

// The system's own texts, in Russian.
const StringResource kStrings[] = {
    {fernset::kTextInstalled, u"Установка выполнена успешно!!\nХотите запустить Tandu?"},
    {fernset::kTextInstallFailed, u"Установка не выполнена!!\n\nПроцесс установки будет отменен."},
    {fernset::kTextCaption, u"Установка Tandu"},
    {fernset::kTextSettingsFailed, u"Не удалось установить Ваши настройки и личные данные для Tandu. Это не повлияет "
                                   u"на работу Вашего устройства."},
    {fernset::kTextRemoval, u"Удаление Tandu"},
    {fernset::kTextNoRoom, u"Не удалось установить Tandu.\n\nОсвободите %.1f Мб памяти и повторите попытку."},
};

const DialogItemResource kInstalledItems[] = {
    {u"STATIC", u"Установка выполнена успешно!!", 0xFFFF, SS_LEFT, 7, 26, 142, 8},
    {u"BUTTON", u"Запустить Tandu", fernset::kButtonStart, BS_DEFPUSHBUTTON | WS_TABSTOP, 18, 53, 58, 17},
    {u"BUTTON", u"Закрыть", fernset::kButtonClose, BS_PUSHBUTTON | WS_TABSTOP, 80, 53, 58, 17},
};

const DialogResource kDialogs[] = {
    {fernset::kDialogInstalled, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, u"MobileTandu",
     u"MS Shell Dlg", 8, 160, 90, kInstalledItems, int(std::size(kInstalledItems))},
};

const platform::resources::ModuleResources kResources = {kStrings, int(std::size(kStrings)), kDialogs,
                                                         int(std::size(kDialogs))};

// The library's entry point: keeps the module's handle when a process or thread attaches.
BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) moduleInstance = instance;
    return TRUE;
}

// The loader's part: on the device the resources are in the library's file and the system calls
// its entry point; here the library hands its tables to the platform when it is loaded and takes
// them back before it goes.
__attribute__((constructor)) void Loaded() {
    HMODULE self = platform::ModuleFromAddress(reinterpret_cast<const void*>(&Loaded));
    platform::resources::SetModuleResources(self, &kResources);
    DllMain(self, DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void Unloaded() {
    DllMain(moduleInstance, DLL_PROCESS_DETACH, nullptr);
    platform::resources::SetModuleResources(platform::ModuleFromAddress(reinterpret_cast<const void*>(&Loaded)),
                                            nullptr);
}

} // namespace

namespace fernset {

HINSTANCE ModuleInstance() {
    return moduleInstance;
}

} // namespace fernset
