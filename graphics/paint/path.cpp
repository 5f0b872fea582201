#include "graphics/paint/path.h"

#include <algorithm>
#include <new>

int oxPath::Begin() {
    m_commands.clear();
    m_points.clear();
    m_widths.clear();
    m_externalWidths = nullptr;
    m_externalCount = 0;
    std::fill_n(m_min, 3, 10.0f);
    std::fill_n(m_max, 3, -10.0f);
    return 1;
}

// The point and its command go in together: a point whose command cannot be stored is removed.
int oxPath::Add(float x, float y, uint8_t command) {
    const oxPathPoint p{x, y, m_z};
    try {
        m_points.push_back(p);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    try {
        m_commands.push_back(command);
    } catch (const std::bad_alloc&) {
        m_points.pop_back();
        return 0;
    }
    const float v[3] = {x, y, m_z};
    for (int k = 0; k < 3; ++k) {
        m_min[k] = std::min(m_min[k], v[k]);
        m_max[k] = std::max(m_max[k], v[k]);
    }
    if (m_points.size() == 1)
        for (int k = 0; k < 3; ++k)
            m_min[k] = m_max[k] = v[k];
    m_last = p;
    if (command == kPathMove) m_start = p;
    return 1;
}

int oxPath::MoveTo(float x, float y) {
    return Add(x, y, kPathMove);
}

int oxPath::LineTo(float x, float y) {
    return Add(x, y, kPathLine);
}

int oxPath::CubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    const size_t before = m_points.size();
    if (Add(c1x, c1y, kPathCubic) && Add(c2x, c2y, kPathCubic) && Add(x, y, kPathCubic)) return 1;
    m_points.resize(before);
    m_commands.resize(before);
    return 0;
}

int oxPath::Close() {
    if (m_commands.empty()) return 0;
    m_commands.back() |= kPathClose;
    return 1;
}

bool oxPath::Resize(int32_t count) {
    if (count < 0) return false;
    try {
        m_points.resize(static_cast<size_t>(count));
        m_commands.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void oxPath::RecomputeBounds() {
    std::fill_n(m_min, 3, 10.0f);
    std::fill_n(m_max, 3, -10.0f);
    for (size_t i = 0; i < m_points.size(); ++i) {
        const float v[3] = {m_points[i].x, m_points[i].y, m_points[i].z};
        for (int k = 0; k < 3; ++k) {
            m_min[k] = i == 0 ? v[k] : std::min(m_min[k], v[k]);
            m_max[k] = i == 0 ? v[k] : std::max(m_max[k], v[k]);
        }
    }
}
