#include "WideStringHelpers.h"

#include "SystemConstants.h"
#include "WinFind.h"
#include "WinString.h"

namespace
{

// Position of the last `c` at positions length - 1 down to 1, or npos.
std::size_t scanFromEnd(const std::wstring& text, wchar_t c)
{
    for (std::size_t i = text.size(); i > 1; --i) {
        if (text[i - 1] == c)
            return i - 1;
    }
    return std::wstring::npos;
}

} // namespace

bool endsWithNoCase(const std::wstring& text, const std::wstring& suffix)
{
    if (text.size() <= suffix.size())
        return false;
    return _wcsicmp(text.c_str() + (text.size() - suffix.size()), suffix.c_str()) == 0;
}

bool isDirectory(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring removeExtension(const std::wstring& path)
{
    const std::size_t dot = scanFromEnd(path, L'.');
    return dot == std::wstring::npos ? path : path.substr(0, dot);
}

std::wstring fileTitle(const std::wstring& path)
{
    const wchar_t separator = SystemConstants::separator();
    std::size_t dot = std::wstring::npos;
    std::size_t slash = std::wstring::npos;
    for (std::size_t i = path.size(); i > 1; --i) {
        const wchar_t c = path[i - 1];
        if (c == separator) {
            slash = i - 1;
            break;
        }
        if (c == L'.' && dot == std::wstring::npos)
            dot = i - 1;
    }
    if (dot == std::wstring::npos)
        return path;
    const std::size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    return path.substr(start, dot - start);
}

std::wstring parentPath(const std::wstring& path)
{
    const std::size_t slash = scanFromEnd(path, SystemConstants::separator());
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring parentFolderName(const std::wstring& path)
{
    const std::wstring parent = parentPath(path);
    const std::size_t slash = scanFromEnd(parent, SystemConstants::separator());
    return slash == std::wstring::npos ? path : parent.substr(slash + 1);
}
