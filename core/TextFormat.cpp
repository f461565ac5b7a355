#include "TextFormat.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace
{

// Whole number of a text; the runtime's conversions already stop at the first character that is
// not part of a number and saturate at the ends of their range.
long long parseInt64(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 10);
}

long long parseInt64(const std::wstring& text)
{
    return std::wcstoll(text.c_str(), nullptr, 10);
}

int narrowToInt(long long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

float narrowToFloat(double value)
{
    if (value > FLT_MAX)
        return HUGE_VALF;
    if (value < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(value);
}

long long truncateToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return LLONG_MAX;
    if (value <= -9223372036854775808.0)
        return LLONG_MIN;
    return static_cast<long long>(value);
}

} // namespace

std::string formatString(const char* format, ...)
{
    if (!format)
        return std::string();
    va_list arguments;
    va_start(arguments, format);
    va_list counting;
    va_copy(counting, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, counting);
    va_end(counting);
    std::string result;
    if (length >= 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 2, '\0');
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        result = buffer.data();
    }
    va_end(arguments);
    return result;
}

std::wstring formatWString(const wchar_t* format, ...)
{
    if (!format)
        return std::wstring();
    // The wide printf family here has no counting call (vswprintf with no buffer fails), so the
    // text is printed into a memory stream that grows as needed.
    wchar_t* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_wmemstream(&buffer, &size);
    if (!stream)
        return std::wstring();
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vfwprintf(stream, format, arguments);
    va_end(arguments);
    std::fclose(stream);
    std::wstring result;
    if (length >= 0 && buffer)
        result = buffer;
    std::free(buffer);
    return result;
}

std::string toString(unsigned char value)
{
    return std::to_string(static_cast<long long>(value));
}

std::string toString(int value)
{
    return std::to_string(static_cast<long long>(value));
}

std::string toString(long long value)
{
    return std::to_string(value);
}

std::string toString(float value)
{
    return std::to_string(static_cast<double>(value));
}

std::string toString(double value)
{
    return std::to_string(value);
}

std::string toString(const char* text)
{
    return text ? std::string(text) : std::string();
}

std::wstring toWString(unsigned char value)
{
    return std::to_wstring(static_cast<long long>(value));
}

std::wstring toWString(int value)
{
    return std::to_wstring(static_cast<long long>(value));
}

std::wstring toWString(long long value)
{
    return std::to_wstring(value);
}

std::wstring toWString(float value)
{
    return std::to_wstring(static_cast<double>(value));
}

std::wstring toWString(double value)
{
    return std::to_wstring(truncateToInt64(value));
}

std::wstring toWString(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring();
}

int toInt(const std::string& text)
{
    return narrowToInt(parseInt64(text));
}

int toInt(const std::wstring& text)
{
    return narrowToInt(parseInt64(text));
}

long long toInt64(const std::string& text)
{
    return parseInt64(text);
}

long long toInt64(const std::wstring& text)
{
    return parseInt64(text);
}

float toFloat(const std::string& text)
{
    return narrowToFloat(std::strtod(text.c_str(), nullptr));
}

float toFloat(const std::wstring& text)
{
    return narrowToFloat(std::wcstod(text.c_str(), nullptr));
}

bool floatEquals(float a, float b, float epsilon)
{
    return std::fabs(b - a) < epsilon;
}
