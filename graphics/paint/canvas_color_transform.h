#pragma once
// What the canvas needs of a box's colour transform. The style system builds the transform from a
// box's colour properties and implements this; the canvas only stacks, composes and applies it, so
// the graphics code never sees style values.
#include <cstdint>

class oxCanvas;

class oxCanvasColorTransform {
public:
    virtual ~oxCanvasColorTransform() = default;

    // Folds in the transform that already applies around this one: offsets add, scales and
    // saturations multiply. A transform of another kind is ignored.
    virtual void ComposeWith(const oxCanvasColorTransform& outer) = 0;
    // One 0xAARRGGBB colour through the transform.
    virtual uint32_t TransformPixel(uint32_t argb) = 0;
    // Loads the transform into the canvas's texture colour tables (options 12 to 17) and takes it out.
    virtual void ApplyToCanvas(oxCanvas* canvas) = 0;
    virtual void RemoveFromCanvas(oxCanvas* canvas) = 0;
};
