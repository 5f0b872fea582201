#pragma once
// oxColorTransform: the per-pixel colour transform that the painter builds from the colour
// properties of a box and its ancestors. Offsets and 16.16 scales per channel become four 256-entry
// lookup tables, rebuilt lazily after a change, so a pixel costs four lookups; the saturation step
// runs only when the saturation is not 1. The canvas stacks transforms through the interface it
// declares.
#include <cstdint>

#include "graphics/paint/canvas_color_transform.h"

class oxStyleLibrary;
class oxStyleValue;

class oxColorTransform : public oxCanvasColorTransform {
public:
    enum Channel { kAlpha = 0, kRed = 1, kGreen = 2, kBlue = 3 };

    oxColorTransform() { Reset(); }
    // Reset, then Accumulate.
    oxColorTransform(oxStyleLibrary* library, const oxStyleValue* colorMembers);

    // The identity: tables, saturation 1, scales 1, offsets 0, not dirty.
    void Reset();
    // Takes the other's offsets, scales and saturation (a reset for null) and marks the tables dirty.
    void CopyFrom(const oxColorTransform* other);
    // Adds one box's colour properties: `colorMembers` are the values of the properties colorAdd to
    // flip in id order (the members of its colour group); null does nothing.
    void Accumulate(oxStyleLibrary* library, const oxStyleValue* colorMembers);
    // Offsets add, saturations and scales multiply; null does nothing.
    void Compose(const oxColorTransform* other);
    // Recomputes the tables when dirty.
    void Rebuild();
    uint32_t TransformPixel(uint32_t argb) override;
    // Another oxColorTransform is composed; other kinds are ignored.
    void ComposeWith(const oxCanvasColorTransform& outer) override;
    // Channel tables on (option 12), the four tables (13 to 16) and, unless it is 1, the saturation (17).
    void ApplyToCanvas(oxCanvas* canvas) override;
    // Saturation back to 1 and the tables off.
    void RemoveFromCanvas(oxCanvas* canvas) override;
    // A channel's table, rebuilt first when dirty.
    const uint8_t* GetTable(Channel channel);

    float GetSaturation() const { return saturation_; }
    int32_t GetOffset(Channel channel) const { return offsets_[channel]; }
    int32_t GetScale(Channel channel) const { return scales_[channel]; }
    bool IsDirty() const { return dirty_; }

private:
    uint8_t tables_[4][256];
    float saturation_;
    int32_t offsets_[4];
    int32_t scales_[4]; // 16.16, 0x10000 = 1.0
    bool dirty_;
};
