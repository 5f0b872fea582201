#pragma once
// Turns the centre line of a stroke into the closed outline of the stroke, emitted as straight
// edges into a polygon filler that fills them with the non-zero rule. Every piece (segment body,
// join, cap, dot) winds the same way, so the union of overlapping pieces fills solid.
#include <cstdint>

class oxPolygonFiller;

class oxStroker {
public:
    enum Join : int32_t { kJoinRound = 0, kJoinMiter = 1, kJoinBevel = 2 };
    enum Cap : int32_t { kCapRound = 0, kCapSquare = 1, kCapButt = 2 };

    explicit oxStroker(oxPolygonFiller* filler = nullptr);

    void SetFiller(oxPolygonFiller* filler) { m_filler = filler; }
    void SetHalfWidth(float w) { m_w = w; }
    float HalfWidth() const { return m_w; }
    void SetJoin(int32_t join) { m_join = join; }
    void SetCap(int32_t cap) { m_cap = cap; }
    void SetMiterLimitCos(float c) { m_miterCos = c; }
    void Detach();

    void BeginPath() { m_hasPrev = false; }
    void BeginSubpath() { m_hasPrev = false; }

    void StartCap(float x0, float y0, float x1, float y1);
    void EndCap(float x0, float y0, float x1, float y1);
    void Segment(float x0, float y0, float x1, float y1, float h0, float h1);
    void Segment(float x0, float y0, float x1, float y1) { Segment(x0, y0, x1, y1, m_w, m_w); }
    void Join(float x0, float y0, float x1, float y1, float x2, float y2);
    void Dot(float x, float y);

private:
    void Edge(float x0, float y0, float x1, float y1);

    bool m_hasPrev = false;
    float m_leftX = 0, m_leftY = 0, m_rightX = 0, m_rightY = 0;
    float m_w = 1.0f;
    float m_miterCos = -0.3f;
    int32_t m_join = kJoinBevel;
    int32_t m_cap = kCapButt;
    oxPolygonFiller* m_filler = nullptr;
};
