#include "WinGdi.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "WinModule.h"

struct HBITMAP__ {
    std::uint32_t tag;
    LONG width;
    LONG height;
    std::vector<unsigned char> topDownPixels;
};

namespace
{

constexpr std::uint32_t kBitmapTag = 0x50414D42; // "BMAP"

HBITMAP__* bitmapOf(HGDIOBJ object)
{
    HBITMAP__* bitmap = static_cast<HBITMAP__*>(object);
    return bitmap && bitmap->tag == kBitmapTag ? bitmap : nullptr;
}

} // namespace

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    HRSRC resource = FindResourceW(instance, name, MAKEINTRESOURCEW(RT_BITMAP));
    const unsigned char* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(instance, resource)));
    const DWORD size = SizeofResource(instance, resource);
    if (!bytes || size < sizeof(BITMAPINFOHEADER))
        return nullptr;
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof(header));
    const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || height <= 0 || header.biWidth > 4096 ||
        height > 4096)
        return nullptr;
    const std::size_t rowBytes = std::size_t(header.biWidth) * 4;
    if (size < sizeof(header) + rowBytes * std::size_t(height))
        return nullptr;
    HBITMAP bitmap = new HBITMAP__;
    bitmap->tag = kBitmapTag;
    bitmap->width = header.biWidth;
    bitmap->height = height;
    bitmap->topDownPixels.resize(rowBytes * std::size_t(height));
    for (LONG row = 0; row < height; ++row) {
        // A positive height stores the rows bottom-up.
        const LONG source = header.biHeight > 0 ? height - 1 - row : row;
        std::memcpy(bitmap->topDownPixels.data() + rowBytes * std::size_t(row),
                    bytes + sizeof(header) + rowBytes * std::size_t(source), rowBytes);
    }
    return bitmap;
}

BOOL DeleteObject(HGDIOBJ object)
{
    HBITMAP__* bitmap = bitmapOf(object);
    if (!bitmap)
        return FALSE;
    bitmap->tag = 0;
    delete bitmap;
    return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, void* buffer)
{
    const HBITMAP__* bitmap = bitmapOf(object);
    if (!bitmap || !buffer || size < int(sizeof(BITMAP)))
        return 0;
    BITMAP description = {};
    description.bmWidth = bitmap->width;
    description.bmHeight = bitmap->height;
    description.bmWidthBytes = bitmap->width * 4;
    description.bmPlanes = 1;
    description.bmBitsPixel = 32;
    std::memcpy(buffer, &description, sizeof(description));
    return int(sizeof(BITMAP));
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits)
{
    const HBITMAP__* found = bitmapOf(bitmap);
    if (!found || !bits || size <= 0)
        return 0;
    const std::size_t copied = std::min<std::size_t>(std::size_t(size), found->topDownPixels.size());
    std::memcpy(bits, found->topDownPixels.data(), copied);
    return LONG(copied);
}
