#pragma once

#include "ComTypes.h"

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

// The header of a device-independent bitmap (40 bytes), as a bitmap resource begins.
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

constexpr DWORD BI_RGB = 0;

// Bitmaps. LoadBitmapW reads an uncompressed 32-bit bitmap resource of the module; null when it
// is missing or of another kind. The handle is the address of the bitmap.
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
BOOL DeleteObject(HGDIOBJ object);
// Fills a BITMAP (bmBits null) for a bitmap handle; the bytes written, 0 for another handle.
int GetObjectW(HGDIOBJ object, int size, void* buffer);
// Copies the bitmap's pixels, rows top-down, 4 bytes (blue, green, red, alpha) per pixel; the
// bytes copied.
LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits);
