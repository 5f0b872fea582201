#include "graphics/raster/mip_chain.h"

#include <algorithm>
#include <bit>

#include "graphics/raster/rasterizer.h"

void oxMipChain::SelectLevel(int32_t level) {
    level = std::clamp(level, 0, static_cast<int32_t>(m_reduced.size()));
    m_level = level;
    m_current = level == 0 ? &m_full : &m_reduced[static_cast<size_t>(level - 1)];
}

void oxMipChain::ChooseLevel(oxRasterizer& r) {
    const float a = static_cast<float>(r.m_shadeStep[1]) * static_cast<float>(r.m_shadeStep[0]) * m_factor;
    const int32_t exponent = static_cast<int32_t>((std::bit_cast<uint32_t>(a) >> 23) & 0xFF);
    SelectLevel(static_cast<int32_t>(m_reduced.size()) + ((exponent - 127) >> 1));
    const int32_t level = m_level;
    for (int k = 0; k < 2; ++k) {
        r.m_shade[k] >>= level;
        r.m_shadeStep[k] >>= level;
    }
    r.m_wrapU = level >= 32 ? 0 : r.m_wrapU >> level;
    r.m_wrapV = level >= 32 ? 0 : r.m_wrapV >> level;
    r.m_texture = m_current;
}
