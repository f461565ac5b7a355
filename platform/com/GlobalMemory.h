#pragma once

#include <cstddef>

#include "ComTypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Global memory blocks, the medium in which the Shell hands over a drop list. A handle is the
// address of a block header; blocks pass between the host and the loaded library as they are.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// The block's bytes, or null for a null or foreign handle. Each lock is matched by GlobalUnlock.
void* GlobalLock(HGLOBAL memory);
// FALSE when the last lock was released (or the block was not locked).
BOOL GlobalUnlock(HGLOBAL memory);
std::size_t GlobalSize(HGLOBAL memory);
// The handle of a block from the address that GlobalLock gave; null for an address of no block.
HGLOBAL GlobalHandle(const void* data);
// Null on success, the handle when it cannot be freed.
HGLOBAL GlobalFree(HGLOBAL memory);
