#pragma once
// The soft input panel: a keyboard that slides up above the menu-bar strip when the input-panel
// button is tapped (or SipShowIM asks for it). Its keys type into the focus window as key input.
// Whenever it goes up or down the top-level windows hear WM_SETTINGCHANGE with SPI_SETSIPINFO and
// read the visible desktop, the part of the screen it leaves free, from SipGetInfo. Devices without
// a touch screen (TANDU_DEVICE=smartphone) have no panel.
#include "platform/types.h"
#include "platform/win/window.h"

constexpr UINT SPI_SETSIPINFO = 224;
constexpr UINT SPI_GETSIPINFO = 225;

constexpr DWORD SIPF_OFF = 0x0000;
constexpr DWORD SIPF_ON = 0x0001;
constexpr DWORD SIPF_DOCKED = 0x0002;
constexpr DWORD SIPF_LOCKED = 0x0004;

constexpr DWORD SIP_STATUS_UNAVAILABLE = 0;
constexpr DWORD SIP_STATUS_AVAILABLE = 1;

struct SIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void* pvImData;
};

DWORD SipStatus();
BOOL SipShowIM(DWORD flags);
// The record's size may be the device's 48 bytes or ours.
BOOL SipGetInfo(SIPINFO* info);
// SPI_GETSIPINFO reads the record; SPI_SETSIPINFO shows or hides the panel by its SIPF_ON flag.
BOOL SHSipInfo(UINT action, UINT param, void* info, UINT winIni);

namespace platform::shell {
// The panel's keys in rows, as virtual keys, for taps and tests: the rectangle of a key on the
// screen; false when the panel has no such key.
bool GetInputPanelKeyRect(UINT virtualKey, RECT* rect);
void ResetInputPanel();
} // namespace platform::shell
