#pragma once
// What the screen's pixels look like, window DC holders, and copies of pixel buffers onto DCs.
#include "graphics/pixels/pixel_buffer.h"
#include "platform/win/gdi.h"

// Bits per pixel of the screen; 0 when no screen DC is given.
int GetScreenDepth();
// The screen depth; the channel sizes are probed on a 16-bit screen and 8 otherwise.
int GetScreenChannelBits(int* red, int* green, int* blue);
// Measures the bits of each channel of a screen-format bitmap. 0 when no bitmap or DC can be had.
int ProbeScreenChannels(int* red, int* green, int* blue);
// Bits of the channel at `offset` (0 red, 8 green, 16 blue) of a COLORREF, written and read back
// through pixel (0, 0) of `dc`.
int ProbeChannelBits(HDC dc, int offset);

// The device context of a window (or of its whole area), released with the holder.
class oxWindowDC {
public:
    oxWindowDC(HWND window, bool wholeWindow);
    ~oxWindowDC() { Release(); }
    oxWindowDC(const oxWindowDC&) = delete;
    oxWindowDC& operator=(const oxWindowDC&) = delete;

    void Release();
    HDC dc() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The client rectangle; `out` is zeroed first. 0 for a null output, a null window or a failure.
int GetWindowClientRect(HWND window, RECT* out);

// Copies `source` of the buffer onto `destination` of the DC. 1 when done or nothing was left
// after clipping, 0 when the platform copy failed.
int BlitPixelBufferToDC(HDC dc, const oxPixelBuffer& buffer, const RECT& destination, const RECT& source);
