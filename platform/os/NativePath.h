#pragma once

#include <string>

// Wide path texts and the byte paths of this system. Windows names files in UTF-16; here a file
// name is a byte string, UTF-8 by convention, so a wide path is encoded as UTF-8 before it reaches
// the system and a listed name is decoded from UTF-8.
class NativePath
{
public:
    // UTF-8 bytes of a wide path. A text that holds no valid code point sequence (a lone surrogate,
    // a value above 0x10FFFF) gives an empty path, which every system call refuses.
    static std::string fromWide(const std::wstring& path);
    static std::string fromWide(const wchar_t* path);

    // Wide text of a byte name; a byte that does not belong to valid UTF-8 becomes U+FFFD.
    static std::wstring toWide(const std::string& name);
};
