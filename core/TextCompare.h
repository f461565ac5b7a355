#pragma once

#include <cstddef>
#include <string>

// Case folding in the current C locale (in the default locale only ASCII letters change).
std::string toLower(const std::string& text);
std::wstring toLower(const std::wstring& text);
std::string toUpper(const std::string& text);
std::wstring toUpper(const std::wstring& text);

// a.compare(b); with ignoreCase the upper-case forms are compared, so '_' sorts after letters.
int compareText(const std::string& a, const std::string& b, bool ignoreCase);
int compareText(const std::wstring& a, const std::wstring& b, bool ignoreCase);

// compareText of the first n characters of each; -1 when either text is shorter than n.
int compareTextN(const std::string& a, const std::string& b, std::size_t n, bool ignoreCase);
int compareTextN(const std::wstring& a, const std::wstring& b, std::size_t n, bool ignoreCase);

// Position of the first occurrence of part, or -1.
int findText(const std::string& text, const std::string& part, bool ignoreCase);
int findText(const std::wstring& text, const std::wstring& part, bool ignoreCase);

// Whether the text ends with the suffix, ignoring case.
bool endsWith(const std::string& text, const std::string& suffix);
bool endsWith(const std::wstring& text, const std::wstring& suffix);
