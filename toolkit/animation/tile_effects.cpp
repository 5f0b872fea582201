#include "toolkit/animation/tile_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numeric>

#include "graphics/pixels/number_utils.h"
#include "platform/win/clock.h"

uint32_t NewRandomSeed() {
    return uint32_t(GetTickCount()) * 1000u;
}

oxTileEffect::oxTileEffect(int32_t columns, int32_t rows, uint8_t reverse) {
    parameters_[2] = float(columns);
    parameters_[3] = float(rows);
    mode_ = reverse;
}

void oxTileEffect::AddTile(const RECT& from, const RECT& to) {
    oxUpdateItem item;
    item.kind = mode_ ? 1 : 0;
    item.source = from;
    item.destination = to;
    AddUpdateItem(item);
}

bool oxTileEffect::RenderFrame(float progress) {
    surface_.BeginBatch();
    const bool reverse = mode_ != 0;
    const float p = reverse ? 1.0f - progress : progress;
    if ((StartsOnGivenProgress() ? progress : p) == 0.0f) {
        if (Seeded()) seed_ = NextSeed();
        ClearUpdateItems();
    }
    if (Seeded()) std::srand(seed_);
    RecastUpdateItems(reverse);
    bool done = false;
    if (AddTiles(p)) done = DrawProgress(p, false);
    surface_.EndBatch();
    return done;
}

bool oxPuzzleEffect::AddTiles(float p) {
    const int32_t n = Columns(), m = Rows(), w = source_.width, h = source_.height;
    if (n <= 0 || m <= 0) return false;
    const int32_t count = n * m;
    // One past the picture's width even when the columns divide it.
    const int32_t tw = (w + n - w % n) / n, th = (h + m - h % m) / m;
    int32_t* cur = new (std::nothrow) int32_t[size_t(count)];
    int32_t* prev = new (std::nothrow) int32_t[size_t(count)];
    if (!cur || !prev) {
        delete[] cur;
        delete[] prev;
        return false;
    }
    std::iota(cur, cur + count, 0);
    std::iota(prev, prev + count, 0);
    if (p >= 1.0f) p = 0.9999f;
    const float e = 4.0f * p;
    const int32_t rounds = int32_t(e + 1.0f);
    for (int32_t round = 0; round < rounds; ++round) {
        std::copy(cur, cur + count, prev);
        for (int32_t j = 0; j < count; ++j)
            std::swap(cur[j], cur[j + Random() % (count - j)]);
    }
    // The last quarter: every tile heads for the cell below the last row's last column.
    if (p > 0.75f) std::fill(cur, cur + count, count + n - 1);
    const float f = e - std::floor(e);
    for (int32_t i = 0; i < m; ++i)
        for (int32_t j = 0; j < n; ++j) {
            const int32_t t = i * n + j, a = prev[t], b = cur[t];
            const int32_t dy = (b / n - a / n) * th;
            // Down moves accelerate, up moves slow down.
            const int32_t y = a / n * th + (dy > 0 ? int32_t(float(dy) * f * f)
                                                   : int32_t((1.0f - (1.0f - f) * (1.0f - f)) * float(dy)));
            const int32_t x = a % n * tw + int32_t(float(tw * (b % n - a % n)) * f * f * (3.0f - 2.0f * f));
            AddTile(RECT{j * tw, i * th, (j + 1) * tw, (i + 1) * th}, RECT{std::max(x, 0), y, x + tw, y + th});
        }
    delete[] cur;
    delete[] prev;
    return true;
}

bool oxSuperBltEffect::AddTiles(float p) {
    const int32_t n = Columns(), m = Rows(), w = source_.width, h = source_.height;
    if (n <= 0 || m <= 0) return false;
    const int32_t tw = w / n, th = h / m;
    for (int32_t row = 0; row < m; ++row)
        for (int32_t column = 0; column < n; ++column) {
            // Each tile starts falling at its own moment between 0 and 0.7.
            const float s = float(Random() & 0xFFF) * 0.00017089843f;
            const int32_t q = Random();
            int32_t dx = 0, dy = 0;
            if (p > s) {
                const float u = float(double(p - s) * 3.3333332008785725);
                dy = int32_t(float(h) * u * u * 2.0f);
                dx = int32_t(float((q & 0x1FF) - 256) * (1.0f / 4096.0f) * float(w) * (p - s));
            }
            const int32_t x = column * tw, y = row * th;
            AddTile(RECT{x, y, x + tw, y + th}, RECT{std::max(x + dx, 0), y + dy, x + tw + dx, y + th + dy});
        }
    return true;
}

uint32_t oxGizmoEffect::NextSeed() {
    return uint32_t(Random());
}

bool oxGizmoEffect::AddTiles(float p) {
    const int32_t n = Columns(), m = Rows(), w = source_.width, h = source_.height;
    if (n <= 0 || m <= 0) return false;
    const int32_t tw = w / n, th = h / m;
    const float step = 0.5f / float(n * m + 1);
    for (int32_t k = 0; k < n * m; ++k) {
        const int32_t r = Random() & 1023;
        // In order, each jittered by up to 0.05 either way.
        const float d = (float(r) / 1023.0f - 0.5f) * 0.1f + float(k) * step;
        int32_t e = 0;
        if (p > d) {
            const float g = (p - d) / (1.0f - d);
            e = int32_t(g * g * float(w));
        }
        const int32_t x = k % n * tw, y = k / n * th;
        const int32_t xm = (k & 1) ? x - e : x + e;
        // A strip cut at the left edge shows its own right part: its source starts x - xm in (the
        // source left at -xm would show other columns for every strip but the first).
        AddTile(RECT{xm < 0 ? x - xm : x, y, x + tw, y + th}, RECT{std::max(xm, 0), y, xm + tw, y + th});
    }
    return true;
}

bool oxSpiralEffect::AddTiles(float p) {
    const int32_t w = source_.width, h = source_.height;
    const int32_t tw = w / 4, th = h / 4;
    const double k = 1.0 / 1023.0;
    for (int32_t row = 0; row < 4; ++row)
        for (int32_t column = 0; column < 4; ++column) {
            float speed = float(double(Random() & 1023) * k * 10.0 + 5.0);
            if (Random() & 1) speed = -speed;
            const float phase = float(double(Random() & 1023) * k * 6.283185307178);
            const float radius = float((double(Random() & 1023) * k + 0.5) * double(w));
            const float angle = speed * p + phase;
            const double reach = double(radius) * double(p);
            const int32_t dx = int32_t(reach * std::cos(double(angle))), dy = int32_t(reach * std::sin(double(angle)));
            const int32_t x = column * tw, y = row * th;
            AddTile(RECT{x, y, x + tw, y + th}, RECT{x + dx, y + dy, x + tw + dx, y + th + dy});
        }
    return true;
}

bool oxSpringEffect::AddTiles(float p) {
    const int32_t n = Columns(), m = Rows(), w = source_.width, h = source_.height;
    if (n <= 0 || m <= 0) return false;
    const int32_t tw = w / n, th = h / m, count = n * m;
    const float step = float(0.25 / double(count));
    for (int32_t k = 0; k < count; ++k) {
        const float o = float(k) * step;
        double r = 0.0;
        if (p > o) {
            const float t = (p - o) / (1.0f - o);
            const double td = t;
            r = td * td * (3.0 - 2.0 * td) + (1.0 - 4.0 * (td - 0.5) * (td - 0.5)) * std::cos(6.28 * td);
        }
        int32_t dx = int32_t(double(std::min(tw, th)) * std::sin(12.56 * r)), dy = int32_t(double(h) * r);
        if (k & 1) dx = -dx, dy = -dy;
        const int32_t x = k % n * tw, y = k / n * th;
        AddTile(RECT{x, y, x + tw, y + th}, RECT{x + dx, y + dy, x + tw + dx, y + th + dy});
    }
    return true;
}
