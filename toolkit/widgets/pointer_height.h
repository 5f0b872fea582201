#pragma once
// How far the pointer image reaches below its hot spot, for popups placed below the pointer.
// Measured once per pointer kind of the scene's input state and kept.
#include <cstdint>

class oxScene;

// Pixels below the hot spot of the current pointer image; 0 without a pointer.
int32_t GetPointerHeight(oxScene* scene);
