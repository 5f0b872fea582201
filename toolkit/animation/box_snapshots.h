#pragma once
// What a box does with snapshots: it is captured as its frame shows it, it shows a source snapshot
// over itself and paints into a target snapshot (the registry's layers 1 and 0), and it renders
// itself into its target snapshot on request.
class oxBox;
class oxSnapshot;

// The box as its frame's back buffer shows it; null without a frame. The caller takes the reference.
oxSnapshot* oxBoxTakeSnapshot(oxBox* box);
// Layer 1 (source, shown over the box: the box repaints) or 0 (target); the registry holds a reference.
void oxBoxAttachSnapshot(oxBox* box, oxSnapshot* snapshot, int layer);
void oxBoxDetachSnapshot(oxBox* box, int layer);
// Paints the box now, so that its target snapshot holds it.
void oxBoxRenderTargetSnapshot(oxBox* box);
