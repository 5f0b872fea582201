#pragma once
// Shared inside the animation module only.
#include "graphics/pixels/pixel_buffer.h"

// A 16-bit picture's pixels into a 32-bit buffer of its size with every bit of each channel kept
// (the top bits repeated below them) and made opaque, so that the picture taken back to its own
// layout is the picture.
void oxExpandOpaque16(oxPixelBuffer& destination, const oxPixelBuffer& source);

class oxBox;
// Makes the paint pass ask the snapshot registry, which also hears of boxes that go away.
void oxInstallSnapshotRegistry();
// A box is going away: the transitions aimed at it forget it.
void oxForgetTransitionTarget(const oxBox* box);
