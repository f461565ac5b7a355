#include "GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace
{

constexpr std::uint32_t kBlockTag = 0x424C4D47; // "GMLB"

struct Block {
    std::uint32_t tag;
    std::uint32_t locks;
    std::size_t size;
    // The caller's bytes follow, aligned like any allocation.
    alignas(std::max_align_t) unsigned char data[1];
};

Block* blockOf(HGLOBAL memory)
{
    Block* block = static_cast<Block*>(memory);
    return block && block->tag == kBlockTag ? block : nullptr;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes)
{
    void* raw = std::malloc(offsetof(Block, data) + (bytes ? bytes : 1));
    if (!raw)
        return nullptr;
    Block* block = static_cast<Block*>(raw);
    block->tag = kBlockTag;
    block->locks = 0;
    block->size = bytes;
    if (flags & GMEM_ZEROINIT)
        std::memset(block->data, 0, bytes ? bytes : 1);
    return block;
}

void* GlobalLock(HGLOBAL memory)
{
    Block* block = blockOf(memory);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    Block* block = blockOf(memory);
    if (!block || block->locks == 0)
        return FALSE;
    --block->locks;
    return block->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL memory)
{
    Block* block = blockOf(memory);
    return block ? block->size : 0;
}

HGLOBAL GlobalHandle(const void* data)
{
    if (!data)
        return nullptr;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    Block* block = reinterpret_cast<Block*>(const_cast<unsigned char*>(bytes - offsetof(Block, data)));
    return block->tag == kBlockTag ? block : nullptr;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    Block* block = blockOf(memory);
    if (!block)
        return memory;
    block->tag = 0;
    std::free(block);
    return nullptr;
}
