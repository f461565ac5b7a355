#include "TextCompare.h"

#include <cctype>
#include <cwctype>

namespace
{

char lowerOf(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

char upperOf(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

wchar_t lowerOf(wchar_t c)
{
    return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
}

wchar_t upperOf(wchar_t c)
{
    return static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
}

template <typename Text> Text lowered(Text text)
{
    for (auto& c : text)
        c = lowerOf(c);
    return text;
}

template <typename Text> Text uppered(Text text)
{
    for (auto& c : text)
        c = upperOf(c);
    return text;
}

template <typename Text> int compare(const Text& a, const Text& b, bool ignoreCase)
{
    if (!ignoreCase)
        return a.compare(b);
    return uppered(a).compare(uppered(b));
}

template <typename Text> int compareFirst(const Text& a, const Text& b, std::size_t n, bool ignoreCase)
{
    if (a.size() < n || b.size() < n)
        return -1;
    return compare(a.substr(0, n), b.substr(0, n), ignoreCase);
}

template <typename Text> int find(const Text& text, const Text& part, bool ignoreCase)
{
    const std::size_t position = ignoreCase ? uppered(text).find(uppered(part)) : text.find(part);
    return position == Text::npos ? -1 : static_cast<int>(position);
}

template <typename Text> bool ends(const Text& text, const Text& suffix)
{
    if (text.size() < suffix.size())
        return false;
    return compare(suffix, text.substr(text.size() - suffix.size()), true) == 0;
}

} // namespace

std::string toLower(const std::string& text)
{
    return lowered(text);
}

std::wstring toLower(const std::wstring& text)
{
    return lowered(text);
}

std::string toUpper(const std::string& text)
{
    return uppered(text);
}

std::wstring toUpper(const std::wstring& text)
{
    return uppered(text);
}

int compareText(const std::string& a, const std::string& b, bool ignoreCase)
{
    return compare(a, b, ignoreCase);
}

int compareText(const std::wstring& a, const std::wstring& b, bool ignoreCase)
{
    return compare(a, b, ignoreCase);
}

int compareTextN(const std::string& a, const std::string& b, std::size_t n, bool ignoreCase)
{
    return compareFirst(a, b, n, ignoreCase);
}

int compareTextN(const std::wstring& a, const std::wstring& b, std::size_t n, bool ignoreCase)
{
    return compareFirst(a, b, n, ignoreCase);
}

int findText(const std::string& text, const std::string& part, bool ignoreCase)
{
    return find(text, part, ignoreCase);
}

int findText(const std::wstring& text, const std::wstring& part, bool ignoreCase)
{
    return find(text, part, ignoreCase);
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return ends(text, suffix);
}

bool endsWith(const std::wstring& text, const std::wstring& suffix)
{
    return ends(text, suffix);
}
