#pragma once

#include <string>

// printf-style formatting into a text; an invalid format or a failed allocation gives an empty text.
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::wstring formatWString(const wchar_t* format, ...);

// Numbers as decimal text. The two forms of a double differ: toString keeps six decimals
// ("2.900000"), toWString truncates towards zero to a whole number ("2").
std::string toString(unsigned char value);
std::string toString(int value);
std::string toString(long long value);
std::string toString(float value);
std::string toString(double value);
std::string toString(const char* text);
std::wstring toWString(unsigned char value);
std::wstring toWString(int value);
std::wstring toWString(long long value);
std::wstring toWString(float value);
std::wstring toWString(double value);
std::wstring toWString(const wchar_t* text);

// The number at the start of a text (leading white space skipped), 0 when there is none. A value
// beyond the result's range gives the range's nearest end.
int toInt(const std::string& text);
int toInt(const std::wstring& text);
long long toInt64(const std::string& text);
long long toInt64(const std::wstring& text);
float toFloat(const std::string& text);
float toFloat(const std::wstring& text);

// |b - a| < epsilon, computed in float.
bool floatEquals(float a, float b, float epsilon);
