#pragma once
// The vector path of the graphics context: 3-D points with one command byte each, optional
// per-point stroke widths and running bounds.
#include <cstdint>
#include <vector>

// Command byte of a point.
constexpr uint8_t kPathMove = 1;
constexpr uint8_t kPathLine = 2;
constexpr uint8_t kPathStep = 4;     // the second point of a two-point step, reached by a line
constexpr uint8_t kPathCubic = 8;    // first control, second control and end point each carry it
constexpr uint8_t kPathClose = 0x10; // the sub-path is closed after this point
constexpr uint8_t kPathOpen = 0x20;  // on a move: the preceding sub-path is left open when filled
constexpr uint8_t kPathKindMask = 0x0F;

struct oxPathPoint {
    float x, y, z;
};

class oxPath {
public:
    oxPath() = default;
    virtual ~oxPath() = default;
    oxPath(const oxPath&) = delete;
    oxPath& operator=(const oxPath&) = delete;

    int Begin();
    int MoveTo(float x, float y);
    int LineTo(float x, float y);
    int CubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y);
    int Close();
    void SetZ(float z) { m_z = z; }
    // Points and commands resized together; true only when both reached `count`.
    bool Resize(int32_t count);
    void RecomputeBounds();

    // Stroke widths per point (optional); an external array wins when both pointer and count are set.
    std::vector<float>& Widths() { return m_widths; }
    void SetExternalWidths(const float* widths, int32_t count) {
        m_externalWidths = widths;
        m_externalCount = count;
    }
    const float* ExternalWidths() const { return m_externalWidths; }
    int32_t ExternalWidthCount() const { return m_externalCount; }

    int32_t Count() const { return static_cast<int32_t>(m_points.size()); }
    const float* Points() const { return m_points.empty() ? nullptr : &m_points[0].x; }
    float* Points() { return m_points.empty() ? nullptr : &m_points[0].x; }
    const uint8_t* Commands() const { return m_commands.data(); }
    uint8_t* Commands() { return m_commands.data(); }
    const float* BoundsMin() const { return m_min; }
    const float* BoundsMax() const { return m_max; }

private:
    int Add(float x, float y, uint8_t command);

    float m_min[3] = {10.0f, 10.0f, 10.0f};
    float m_max[3] = {-10.0f, -10.0f, -10.0f};
    std::vector<uint8_t> m_commands;
    std::vector<oxPathPoint> m_points;
    std::vector<float> m_widths;
    oxPathPoint m_last{0, 0, 0};
    oxPathPoint m_start{0, 0, 0};
    float m_z = 1.0f;
    const float* m_externalWidths = nullptr;
    int32_t m_externalCount = 0;
};
