#include "TextEdit.h"

#include <regex>
#include <sstream>

namespace
{

template <typename Text> Text replaceEvery(Text& text, const Text& from, const Text& to)
{
    if (from.empty())
        return text;
    std::size_t position = text.find(from);
    while (position != Text::npos) {
        text.replace(position, from.size(), to);
        position += to.size();
        if (position >= text.size())
            break;
        position = text.find(from, position);
    }
    return text;
}

template <typename Text> void trimStart(Text& text)
{
    const std::size_t first = text.find_first_not_of(typename Text::value_type(' '));
    text.erase(0, first == Text::npos ? text.size() : first);
}

template <typename Text> void trimEnd(Text& text)
{
    const std::size_t last = text.find_last_not_of(typename Text::value_type(' '));
    text.erase(last == Text::npos ? 0 : last + 1);
}

template <typename Text> std::vector<Text> split(const Text& text, typename Text::value_type delimiter)
{
    std::vector<Text> items;
    std::basic_istringstream<typename Text::value_type> stream(text);
    Text item;
    while (std::getline(stream, item, delimiter))
        items.push_back(item);
    return items;
}

template <typename Text> std::vector<Text> splitPattern(const Text& text, const Text& pattern)
{
    using Char = typename Text::value_type;
    std::basic_regex<Char> expression;
    try {
        expression.assign(pattern, std::regex_constants::ECMAScript);
    } catch (const std::regex_error&) {
        return {}; // a pattern that does not compile matches nothing and splits nothing
    }
    std::regex_token_iterator<typename Text::const_iterator> piece(text.begin(), text.end(), expression, -1);
    const std::regex_token_iterator<typename Text::const_iterator> end;
    std::vector<Text> items;
    for (; piece != end; ++piece)
        items.push_back(piece->str());
    return items;
}

template <typename Text> Text join(const std::vector<Text>& items, typename Text::value_type separator)
{
    Text joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += items[i];
    }
    return joined;
}

} // namespace

std::string replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    return replaceEvery(text, from, to);
}

std::wstring replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    return replaceEvery(text, from, to);
}

void trimLeft(std::string& text)
{
    trimStart(text);
}

void trimLeft(std::wstring& text)
{
    trimStart(text);
}

void trimRight(std::string& text)
{
    trimEnd(text);
}

void trimRight(std::wstring& text)
{
    trimEnd(text);
}

void trim(std::string& text)
{
    trimStart(text);
    trimEnd(text);
}

void trim(std::wstring& text)
{
    trimStart(text);
    trimEnd(text);
}

std::vector<std::string> splitText(const std::string& text, char delimiter)
{
    return split(text, delimiter);
}

std::vector<std::wstring> splitText(const std::wstring& text, wchar_t delimiter)
{
    return split(text, delimiter);
}

std::vector<std::string> splitRegex(const std::string& text, const std::string& pattern)
{
    return splitPattern(text, pattern);
}

std::vector<std::wstring> splitRegex(const std::wstring& text, const std::wstring& pattern)
{
    return splitPattern(text, pattern);
}

std::string joinText(const std::vector<std::string>& items, char separator)
{
    return join(items, separator);
}

std::wstring joinText(const std::vector<std::wstring>& items, wchar_t separator)
{
    return join(items, separator);
}
