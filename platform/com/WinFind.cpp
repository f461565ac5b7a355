#include "WinFind.h"

#include <string>
#include <vector>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LastError.h"
#include "WideText.h"

namespace
{

constexpr std::uint32_t kSearchTag = 0x444E4946; // "FIND"

struct Search {
    std::uint32_t tag = kSearchTag;
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

DWORD attributesOf(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (::access(path.c_str(), W_OK) != 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

void addEntry(Search& search, const std::string& folder, const std::string& name)
{
    WIN32_FIND_DATAW entry;
    entry.dwFileAttributes = attributesOf(folder + "/" + name);
    entry.cFileName = WideText::fromUtf8(name);
    search.entries.push_back(entry);
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data)
{
    std::string path = pattern ? WideText::toUtf8(pattern) : std::string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || !data) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    Search* search = new Search;
    if (last.find_first_of("*?") == std::string::npos) {
        struct stat info;
        if (::stat(path.c_str(), &info) == 0)
            addEntry(*search, folder, last);
    } else if (DIR* directory = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(directory)) {
            if (::fnmatch(last.c_str(), entry->d_name, FNM_PERIOD) == 0)
                addEntry(*search, folder, entry->d_name);
        }
        ::closedir(directory);
    }
    if (search->entries.empty()) {
        delete search;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = search->entries[search->next++];
    return search;
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* data)
{
    Search* search = static_cast<Search*>(handle);
    if (handle == INVALID_HANDLE_VALUE || !search || search->tag != kSearchTag || !data)
        return FALSE;
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    *data = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    Search* search = static_cast<Search*>(handle);
    if (handle == INVALID_HANDLE_VALUE || !search || search->tag != kSearchTag)
        return FALSE;
    search->tag = 0;
    delete search;
    return TRUE;
}
