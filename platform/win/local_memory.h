#pragma once
// Local memory blocks: what the clipboard takes over from its callers and hands back.
#include "platform/types.h"

using HLOCAL = void*;

constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_ZEROINIT = 0x0040;

// A block of `bytes` (zeroed with LMEM_ZEROINIT), null when memory is short.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Null on success, the block again when it could not be freed.
HLOCAL LocalFree(HLOCAL block);
// The block's size in bytes, 0 for null.
SIZE_T LocalSize(HLOCAL block);
