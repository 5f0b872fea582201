#pragma once
// The emulated device screen: one top-down framebuffer in the device's own pixel format. Window
// DCs and the screen DC draw into it directly; there is no backing store per window.
//
// Its size, depth and dots per inch come from TANDU_SCREEN=WxH (default 480x800),
// TANDU_SCREEN_BPP=16 (RGB565; default 32) and TANDU_DPI=N (default 192), read on first use.
#include <cstdint>

#include "platform/types.h"

struct ScreenConfig {
    int width = 480;
    int height = 800;
    int bpp = 32;        // 32 (0x00RRGGBB words) or 16
    bool rgb555 = false; // 16 bpp: RGB555 instead of RGB565
    int dpi = 192;
};

struct ScreenBuffer {
    ScreenConfig config;
    int stride = 0; // bytes per row
    uint8_t* bits = nullptr;
};

// Created from the environment on first use.
ScreenBuffer& GetScreen();
// Replaces the screen with a blank one of another format (tests, display changes). False when the
// format is not one a device has or the memory is short; the old screen then stays.
bool ConfigureScreen(const ScreenConfig& config);
// The environment's configuration, with defaults for what it leaves out or gets wrong.
ScreenConfig ScreenConfigFromEnvironment();

// Pixel read-back for tests and backends: 0x00RRGGBB, 16-bit values expanded; 0 outside.
uint32_t ReadScreenPixel(int x, int y);

// Every write into the screen is noted: backends present only what changed, tests count pixels.
void NoteScreenWrite(const RECT& bounds, uint64_t pixels);
// Pixels written since the screen was configured (a running count).
uint64_t ScreenPixelsWritten();
// The bounds of what changed since the last call; false when nothing did.
bool TakeScreenDamage(RECT* bounds);
