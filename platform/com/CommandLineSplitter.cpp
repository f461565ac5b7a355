#include "CommandLineSplitter.h"

namespace
{

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

} // namespace

std::vector<std::wstring> CommandLineSplitter::split(const std::wstring& parameters)
{
    std::vector<std::wstring> arguments;
    std::size_t i = 0;
    const std::size_t n = parameters.size();
    while (true) {
        while (i < n && isBlank(parameters[i]))
            ++i;
        if (i >= n)
            break;
        std::wstring argument;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(parameters[i]))) {
            std::size_t backslashes = 0;
            while (i < n && parameters[i] == L'\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && parameters[i] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                    ++i;
                } else if (quoted && i + 1 < n && parameters[i + 1] == L'"') {
                    argument += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            argument.append(backslashes, L'\\');
            if (i < n && (quoted || !isBlank(parameters[i])))
                argument += parameters[i++];
        }
        arguments.push_back(argument);
    }
    return arguments;
}
