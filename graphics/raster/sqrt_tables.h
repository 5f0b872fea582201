#pragma once
// Table square roots for the stroker and the graphics context: the top ten mantissa bits of
// sqrt(x) and 1 / sqrt(x) for x in [0.5, 2), indexed by the lowest exponent bit and the top nine
// mantissa bits of a float. Accurate to about 1 part in 2000.
#include <cstdint>

extern uint32_t InvSqrtTable[1024];
extern uint32_t SqrtTable[1024];

// Each builds its table once per process.
void BuildInvSqrtTable();
void BuildSqrtTable();

// Approximations for a positive finite v.
float TableInvSqrt(float v);
float TableSqrt(float v);
