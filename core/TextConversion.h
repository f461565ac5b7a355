#pragma once

#include <string>

// Conversions between GBK bytes, UTF-8 bytes and wide text. Each call makes its own converter and
// throws std::range_error on text it cannot convert: bytes that are not GBK or not UTF-8, a
// sequence cut off at the end of the text, or a character that GBK cannot express.
std::wstring gbkToWide(const std::string& text);
std::string wideToGbk(const std::wstring& text);
std::wstring utf8ToWide(const std::string& text);
std::string wideToUtf8(const std::wstring& text);
std::string gbkToUtf8(const std::string& text);
std::string utf8ToGbk(const std::string& text);

// Whether the bytes form complete UTF-8 sequences (lead bytes up to 0xFF are counted with their
// historical lengths of up to six bytes). An empty text and pure ASCII are valid.
bool isUtf8(const std::string& bytes);
