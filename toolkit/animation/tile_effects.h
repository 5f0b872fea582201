#pragma once
// Effects that cut the picture into tiles and move them instead of drawing the work surface: each
// frame every tile becomes an update item that copies it straight from the source picture (the
// target in reverse mode) to where it stands, and the previous frame's items turn into items that
// repaint their old places from the other picture, so the other picture shows where a tile left.
// The random draws are the C library's, seeded anew at each frame from the run's seed, so that a
// run's tiles move smoothly and the next run moves them differently.
#include <cstdint>

#include "toolkit/animation/transition_effect.h"

// The platform tick count times 1000.
uint32_t NewRandomSeed();

class oxTileEffect : public oxTransitionEffect {
public:
    oxTileEffect(int32_t columns, int32_t rows, uint8_t reverse);
    bool RenderFrame(float progress) override;
    uint32_t Seed() const { return seed_; }

protected:
    // The run's new seed, drawn at the frame whose progress is 0.
    virtual uint32_t NextSeed() { return NewRandomSeed(); }
    // Whether the progress as given (not as reversed) starts a run.
    virtual bool StartsOnGivenProgress() const { return false; }
    // Whether a run's start draws a seed at all.
    virtual bool Seeded() const { return true; }
    // Adds one item per tile, in row-major order, at progress p; false when the frame fails.
    virtual bool AddTiles(float p) = 0;
    void AddTile(const RECT& from, const RECT& to);

    int32_t Columns() const { return int32_t(parameters_[2]); }
    int32_t Rows() const { return int32_t(parameters_[3]); }

    uint32_t seed_ = 0;
};

class oxPuzzleEffect : public oxTileEffect {
public:
    oxPuzzleEffect(int32_t columns, int32_t rows, uint8_t reverse) : oxTileEffect(columns, rows, reverse) {}
    const char* GetName() const override { return "Puzzle"; }

protected:
    bool AddTiles(float p) override;
};

class oxSuperBltEffect : public oxTileEffect {
public:
    oxSuperBltEffect(int32_t columns, int32_t rows, uint8_t reverse) : oxTileEffect(columns, rows, reverse) {}
    const char* GetName() const override { return "SuperBLT"; }

protected:
    bool AddTiles(float p) override;
};

class oxGizmoEffect : public oxTileEffect {
public:
    oxGizmoEffect(int32_t columns, int32_t rows, uint8_t reverse) : oxTileEffect(columns, rows, reverse) {}
    const char* GetName() const override { return "Gizmo"; }

protected:
    uint32_t NextSeed() override;
    bool StartsOnGivenProgress() const override { return true; }
    bool AddTiles(float p) override;
};

// A 4 x 4 grid flung outward along spirals.
class oxSpiralEffect : public oxTileEffect {
public:
    oxSpiralEffect() : oxTileEffect(4, 4, 0) {}
    const char* GetName() const override { return "Spiral"; }

protected:
    bool StartsOnGivenProgress() const override { return true; }
    bool AddTiles(float p) override;
};

// Horizontal bands that bounce and drop away one after another.
class oxSpringEffect : public oxTileEffect {
public:
    oxSpringEffect() : oxTileEffect(1, 5, 0) {}
    const char* GetName() const override { return "Spring"; }

protected:
    bool StartsOnGivenProgress() const override { return true; }
    bool Seeded() const override { return false; }
    bool AddTiles(float p) override;
};
