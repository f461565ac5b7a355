#pragma once

#include <string>
#include <vector>

// Replaces every occurrence of `from` by `to`, changing `text` in place and returning a copy of the
// result. Text inserted by a replacement is never searched again; an empty `from` changes nothing.
std::string replaceAll(std::string& text, const std::string& from, const std::string& to);
std::wstring replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

// Remove leading, trailing or both runs of the blank ' ' (tabs and line ends stay), in place.
void trimLeft(std::string& text);
void trimLeft(std::wstring& text);
void trimRight(std::string& text);
void trimRight(std::wstring& text);
void trim(std::string& text);
void trim(std::wstring& text);

// Items between the delimiter characters, as std::getline reads them: adjacent delimiters give an
// empty item, a trailing delimiter no empty last item, an empty text no items.
std::vector<std::string> splitText(const std::string& text, char delimiter);
std::vector<std::wstring> splitText(const std::wstring& text, wchar_t delimiter);

// The pieces between the matches of an ECMAScript regular expression, in order; no pieces when the
// pattern is not a valid expression.
std::vector<std::string> splitRegex(const std::string& text, const std::string& pattern);
std::vector<std::wstring> splitRegex(const std::wstring& text, const std::wstring& pattern);

// The items with the separator between each two.
std::string joinText(const std::vector<std::string>& items, char separator);
std::wstring joinText(const std::vector<std::wstring>& items, wchar_t separator);
