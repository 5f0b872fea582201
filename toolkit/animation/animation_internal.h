#pragma once
// Shared inside the animation module only.
#include "graphics/pixels/pixel_buffer.h"

// A 16-bit picture's pixels into a 32-bit buffer of its size with every bit of each channel kept
// (the top bits repeated below them) and made opaque, so that the picture taken back to its own
// layout is the picture.
void oxExpandOpaque16(oxPixelBuffer& destination, const oxPixelBuffer& source);
