#pragma once
// Native menus: a menu is a list of items (text, command id, an optional submenu, separators).
// The shell's menu bar shows a menu's first two items as its soft keys. A menu owns its submenus
// and destroys them with itself unless they were removed first.
#include "platform/types.h"
#include "platform/win/window.h"

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// By position with MF_BYPOSITION (-1 or past the end appends), else before the item of that
// command id. With MF_POPUP `idOrSubmenu` is the submenu.
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text);
// Takes the item out; a submenu it held is not destroyed.
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
// The command id, or -1 (as UINT) for a submenu or a position without an item.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// The item's text without the terminator's count; 0 when there is none.
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
// MF_GRAYED, MF_POPUP, MF_SEPARATOR bits of the item, or -1 (as UINT) when there is no such item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
