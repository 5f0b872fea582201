#include "toolkit/style/color_transform.h"

#include <cmath>

#include "graphics/paint/canvas.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

constexpr int32_t kOne = 0x10000;

int32_t Saturate32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

int32_t ChannelOf(uint32_t argb, int channel) {
    return int32_t((argb >> (24 - 8 * channel)) & 0xFF);
}

uint32_t MemberColor(const oxStyleValue& v, oxStyleLibrary* library) {
    if (v.GetType() == kStyleColor || v.GetType() == kStyleSysColor) return v.GetColor();
    if (v.GetType() == kStyleUrl) return ResolveColorValue(v, library);
    return 0;
}

// A percentage as a 16.16 factor, rounded to nearest.
int32_t PercentToFixed(int32_t percent) {
    float factor = float(percent) * 0.01f;
    double fixed = std::nearbyint(double(factor) * kOne);
    if (!(fixed < 2147483647.0)) return INT32_MAX;
    if (fixed < -2147483648.0) return INT32_MIN;
    return int32_t(fixed);
}

// Truncation of a channel worked out in double precision, kept where a byte can hold it.
int32_t TruncChannel(double v) {
    if (!(v > 0.0)) return 0; // NaN too
    if (v >= 256.0) return 256;
    return int32_t(v);
}

} // namespace

oxColorTransform::oxColorTransform(oxStyleLibrary* library, const oxStyleValue* colorMembers) {
    Reset();
    Accumulate(library, colorMembers);
}

void oxColorTransform::Reset() {
    for (auto& table : tables_)
        for (int i = 0; i < 256; ++i)
            table[i] = uint8_t(i);
    saturation_ = 1.0f;
    for (int c = 0; c < 4; ++c) {
        offsets_[c] = 0;
        scales_[c] = kOne;
    }
    dirty_ = false;
}

void oxColorTransform::CopyFrom(const oxColorTransform* other) {
    if (!other) {
        Reset();
    } else if (other != this) {
        for (int c = 0; c < 4; ++c) {
            offsets_[c] = other->offsets_[c];
            scales_[c] = other->scales_[c];
        }
        saturation_ = other->saturation_;
    }
    dirty_ = true;
}

void oxColorTransform::Accumulate(oxStyleLibrary* library, const oxStyleValue* colorMembers) {
    if (!colorMembers) return;
    auto member = [colorMembers](int id) -> const oxStyleValue& { return colorMembers[id - kStyle_colorAdd]; };

    const oxStyleValue& add = member(kStyle_colorAdd);
    if (!add.IsNull()) {
        uint32_t c = MemberColor(add, library);
        for (int ch = 0; ch < 4; ++ch)
            offsets_[ch] = Saturate32(int64_t(offsets_[ch]) + ChannelOf(c, ch));
    }
    const oxStyleValue& subtract = member(kStyle_colorSubtract);
    if (!subtract.IsNull()) {
        uint32_t c = MemberColor(subtract, library);
        for (int ch = 0; ch < 4; ++ch)
            offsets_[ch] = Saturate32(int64_t(offsets_[ch]) - ChannelOf(c, ch));
    }
    const int scaleIds[4] = {kStyle_colorScaleA, kStyle_colorScaleR, kStyle_colorScaleG, kStyle_colorScaleB};
    for (int ch = 0; ch < 4; ++ch) {
        const oxStyleValue& scale = member(scaleIds[ch]);
        if (!scale.IsNull()) scales_[ch] = PercentToFixed(scale.GetInt());
    }
    const oxStyleValue& saturation = member(kStyle_colorSaturation);
    if (!saturation.IsNull()) saturation_ = saturation_ * (float(saturation.GetInt()) * 0.01f);
    dirty_ = true;
}

void oxColorTransform::Compose(const oxColorTransform* other) {
    if (!other) return;
    for (int c = 0; c < 4; ++c) {
        offsets_[c] = Saturate32(int64_t(offsets_[c]) + other->offsets_[c]);
        scales_[c] = Saturate32((int64_t(scales_[c]) * other->scales_[c]) >> 16);
    }
    saturation_ *= other->saturation_;
    dirty_ = true;
}

void oxColorTransform::Rebuild() {
    if (!dirty_) return;
    // Worked out in 64 bits: large offsets or scales must not wrap round into small entries.
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < 256; ++i) {
            int64_t p = int64_t(scales_[c]) * (int64_t(i) + offsets_[c]);
            tables_[c][i] = p < 0 ? 0 : p >= 0x1000000 ? 255 : uint8_t(p >> 16);
        }
    }
    dirty_ = false;
}

const uint8_t* oxColorTransform::GetTable(Channel channel) {
    Rebuild();
    return tables_[channel];
}

uint32_t oxColorTransform::TransformPixel(uint32_t argb) {
    Rebuild();
    int32_t a = tables_[kAlpha][ChannelOf(argb, kAlpha)];
    int32_t rgb[3] = {tables_[kRed][ChannelOf(argb, kRed)], tables_[kGreen][ChannelOf(argb, kGreen)],
                      tables_[kBlue][ChannelOf(argb, kBlue)]};
    if (saturation_ != 1.0f) {
        double gray = std::trunc(0.3 * rgb[0] + 0.59 * rgb[1] + 0.11 * rgb[2]);
        double k = double(1.0f - saturation_) * gray;
        for (int32_t& ch : rgb)
            ch = TruncChannel(double(float(ch) * saturation_) + k);
    }
    // Colour channels never exceed what the alpha channel allows at full coverage.
    int64_t product = int64_t(scales_[kAlpha]) * (int64_t(offsets_[kAlpha]) + 255);
    int64_t ceiling = product < kOne ? 0 : product >> 16;
    if (ceiling > 254) ceiling = 255;
    for (int32_t& ch : rgb) {
        if (ch < 1) ch = 0;
        if (ch > ceiling) ch = int32_t(ceiling);
    }
    return uint32_t(a) << 24 | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]);
}

void oxColorTransform::ComposeWith(const oxCanvasColorTransform& outer) {
    Compose(dynamic_cast<const oxColorTransform*>(&outer));
}

void oxColorTransform::ApplyToCanvas(oxCanvas* canvas) {
    if (!canvas) return;
    Rebuild();
    canvas->SetOption(kOptionColorTransform, 1);
    canvas->SetOption(kOptionRedTable, reinterpret_cast<intptr_t>(tables_[kRed]));
    canvas->SetOption(kOptionGreenTable, reinterpret_cast<intptr_t>(tables_[kGreen]));
    canvas->SetOption(kOptionBlueTable, reinterpret_cast<intptr_t>(tables_[kBlue]));
    canvas->SetOption(kOptionAlphaTable, reinterpret_cast<intptr_t>(tables_[kAlpha]));
    if (saturation_ != 1.0f) canvas->SetFloatOption(kOptionSaturation, saturation_);
}

void oxColorTransform::RemoveFromCanvas(oxCanvas* canvas) {
    if (!canvas) return;
    canvas->SetFloatOption(kOptionSaturation, 1.0f);
    canvas->SetOption(kOptionColorTransform, 0);
}
