#pragma once
// Reserved-then-committed address space for large blocks, kept apart from the heap.
#include "platform/types.h"

constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_DECOMMIT = 0x4000;
constexpr DWORD MEM_RELEASE = 0x8000;
constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;

// MEM_RESERVE takes fresh address space (address null); MEM_COMMIT makes a range of a reservation
// accessible, zero-filled on first commit. Null on failure.
LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
// MEM_RELEASE with size 0 gives back a whole reservation, given its base address.
BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);
