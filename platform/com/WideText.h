#pragma once

#include <string>

// Wide texts of the layer and the byte texts of this system (file names, the registry folders),
// which are UTF-8 by convention.
class WideText
{
public:
    // UTF-8 of a wide text; a text with a surrogate or a value above 0x10FFFF gives an empty result,
    // which every system call refuses.
    static std::string toUtf8(const std::wstring& text);
    // Wide text of UTF-8 bytes; a byte outside a valid sequence becomes U+FFFD.
    static std::wstring fromUtf8(const std::string& bytes);
};
