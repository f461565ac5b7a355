#include "WinCrt.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "NativePath.h"
#include "Win32Api.h"

namespace
{

struct Search {
    ~Search()
    {
        if (m_dir)
            closedir(m_dir);
    }
    DIR* m_dir = nullptr;
    std::string m_folder;
    std::string m_pattern;
};

std::mutex g_searchLock;
std::map<std::intptr_t, std::unique_ptr<Search>> g_searches;
std::intptr_t g_nextHandle = 1;

bool matches(const std::string& pattern, const std::string& name)
{
    if (pattern == "*" || pattern == "*.*")
        return true;
    return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

} // namespace

int WinCrt::access(const std::string& path, int mode)
{
    return ::access(path.c_str(), mode) == 0 ? 0 : -1;
}

int WinCrt::waccess(const std::wstring& path, int mode)
{
    return access(NativePath::fromWide(path), mode);
}

int WinCrt::chdir(const std::string& folder)
{
    return ::chdir(folder.c_str()) == 0 ? 0 : -1;
}

int WinCrt::wchdir(const std::wstring& folder)
{
    return chdir(NativePath::fromWide(folder));
}

int WinCrt::mkdir(const std::string& folder)
{
    return ::mkdir(folder.c_str(), 0777) == 0 ? 0 : -1;
}

int WinCrt::wmkdir(const std::wstring& folder)
{
    return mkdir(NativePath::fromWide(folder));
}

int WinCrt::rmdir(const std::string& folder)
{
    return ::rmdir(folder.c_str()) == 0 ? 0 : -1;
}

int WinCrt::wrmdir(const std::wstring& folder)
{
    return rmdir(NativePath::fromWide(folder));
}

std::FILE* WinCrt::fopen(const std::string& path, const char* mode)
{
    if (path.empty())
        return nullptr;
    return std::fopen(path.c_str(), mode);
}

std::FILE* WinCrt::wfopen(const std::wstring& path, const char* mode)
{
    return fopen(NativePath::fromWide(path), mode);
}

long long WinCrt::filelength(std::FILE* file)
{
    struct stat info {
    };
    if (!file || fstat(fileno(file), &info) != 0)
        return -1;
    return static_cast<long long>(info.st_size);
}

std::string WinCrt::fullpath(const std::string& path)
{
    if (path.empty())
        return std::string();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return std::string();
    return absolute.lexically_normal().string();
}

std::wstring WinCrt::wfullpath(const std::wstring& path)
{
    const std::string native = NativePath::fromWide(path);
    if (native.empty())
        return std::wstring();
    return NativePath::toWide(fullpath(native));
}

std::intptr_t WinCrt::findfirst(const std::string& pattern, FindData* data)
{
    const std::size_t slash = pattern.rfind('/');
    auto search = std::make_unique<Search>();
    search->m_folder = slash == std::string::npos ? std::string(".") : pattern.substr(0, slash + 1);
    search->m_pattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    search->m_dir = opendir(search->m_folder.c_str());
    if (!search->m_dir || search->m_pattern.empty())
        return -1;
    std::intptr_t handle = 0;
    {
        std::lock_guard<std::mutex> lock(g_searchLock);
        handle = g_nextHandle++;
        g_searches[handle] = std::move(search);
    }
    std::string name;
    unsigned attrib = 0;
    if (!nextEntry(handle, &name, &attrib)) {
        findclose(handle);
        return -1;
    }
    if (data) {
        data->name = name;
        data->attrib = attrib;
    }
    return handle;
}

std::intptr_t WinCrt::wfindfirst(const std::wstring& pattern, WideFindData* data)
{
    FindData narrow;
    const std::intptr_t handle = findfirst(NativePath::fromWide(pattern), &narrow);
    if (handle != -1 && data) {
        data->name = NativePath::toWide(narrow.name);
        data->attrib = narrow.attrib;
    }
    return handle;
}

int WinCrt::findnext(std::intptr_t handle, FindData* data)
{
    std::string name;
    unsigned attrib = 0;
    if (!nextEntry(handle, &name, &attrib))
        return -1;
    if (data) {
        data->name = name;
        data->attrib = attrib;
    }
    return 0;
}

int WinCrt::wfindnext(std::intptr_t handle, WideFindData* data)
{
    std::string name;
    unsigned attrib = 0;
    if (!nextEntry(handle, &name, &attrib))
        return -1;
    if (data) {
        data->name = NativePath::toWide(name);
        data->attrib = attrib;
    }
    return 0;
}

int WinCrt::findclose(std::intptr_t handle)
{
    std::unique_ptr<Search> search;
    {
        std::lock_guard<std::mutex> lock(g_searchLock);
        auto found = g_searches.find(handle);
        if (found == g_searches.end())
            return -1;
        search = std::move(found->second);
        g_searches.erase(found);
    }
    return 0;
}

bool WinCrt::nextEntry(std::intptr_t handle, std::string* name, unsigned* attrib)
{
    std::lock_guard<std::mutex> lock(g_searchLock);
    auto found = g_searches.find(handle);
    if (found == g_searches.end())
        return false;
    Search& search = *found->second;
    while (const dirent* entry = readdir(search.m_dir)) {
        const std::string entryName = entry->d_name;
        if (!matches(search.m_pattern, entryName))
            continue;
        const std::string full = search.m_folder + (search.m_folder.back() == '/' ? "" : "/") + entryName;
        const Win32Api::DWORD attributes = Win32Api::attributesOf(full, false);
        if (attributes == Win32Api::kInvalidFileAttributes)
            continue; // removed while listing
        *name = entryName;
        *attrib =
            attributes & (kAttribReadOnly | kAttribHidden | kAttribSystem | kAttribSubdir | kAttribArchive);
        return true;
    }
    return false;
}
