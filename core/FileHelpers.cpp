#include "FileHelpers.h"

#include <cstdio>
#include <new>

#include "PlatformConstants.h"
#include "WinCrt.h"

namespace
{

// The narrow and the wide form of each platform call, so that every helper is written once.
template <typename Char> struct Api;

template <> struct Api<char> {
    using Text = std::string;
    using FindData = WinCrt::FindData;

    static Text ascii(const char* text) { return Text(text); }
    static Win32Api::BOOL deleteFile(const Text& path) { return Win32Api::DeleteFileA(path.c_str()); }
    static Win32Api::BOOL copyFile(const Text& from, const Text& to, Win32Api::BOOL failIfExists)
    {
        return Win32Api::CopyFileA(from.c_str(), to.c_str(), failIfExists);
    }
    static Win32Api::BOOL moveFile(const Text& from, const Text& to)
    {
        return Win32Api::MoveFileA(from.c_str(), to.c_str());
    }
    static Win32Api::DWORD attributes(const Text& path) { return Win32Api::GetFileAttributesA(path.c_str()); }
    static Win32Api::BOOL setAttributes(const Text& path, Win32Api::DWORD attributes)
    {
        return Win32Api::SetFileAttributesA(path.c_str(), attributes);
    }
    static int access(const Text& path, int mode) { return WinCrt::access(path, mode); }
    static int chdir(const Text& folder) { return WinCrt::chdir(folder); }
    static int mkdir(const Text& folder) { return WinCrt::mkdir(folder); }
    static int rmdir(const Text& folder) { return WinCrt::rmdir(folder); }
    static std::FILE* fopen(const Text& path, const char* mode) { return WinCrt::fopen(path, mode); }
    static Text fullpath(const Text& path) { return WinCrt::fullpath(path); }
    static std::intptr_t findfirst(const Text& pattern, FindData* data)
    {
        return WinCrt::findfirst(pattern, data);
    }
    static int findnext(std::intptr_t handle, FindData* data) { return WinCrt::findnext(handle, data); }
};

template <> struct Api<wchar_t> {
    using Text = std::wstring;
    using FindData = WinCrt::WideFindData;

    static Text ascii(const char* text) { return Text(text, text + std::char_traits<char>::length(text)); }
    static Win32Api::BOOL deleteFile(const Text& path) { return Win32Api::DeleteFileW(path.c_str()); }
    static Win32Api::BOOL copyFile(const Text& from, const Text& to, Win32Api::BOOL failIfExists)
    {
        return Win32Api::CopyFileW(from.c_str(), to.c_str(), failIfExists);
    }
    static Win32Api::BOOL moveFile(const Text& from, const Text& to)
    {
        return Win32Api::MoveFileW(from.c_str(), to.c_str());
    }
    static Win32Api::DWORD attributes(const Text& path) { return Win32Api::GetFileAttributesW(path.c_str()); }
    static Win32Api::BOOL setAttributes(const Text& path, Win32Api::DWORD attributes)
    {
        return Win32Api::SetFileAttributesW(path.c_str(), attributes);
    }
    static int access(const Text& path, int mode) { return WinCrt::waccess(path, mode); }
    static int chdir(const Text& folder) { return WinCrt::wchdir(folder); }
    static int mkdir(const Text& folder) { return WinCrt::wmkdir(folder); }
    static int rmdir(const Text& folder) { return WinCrt::wrmdir(folder); }
    static std::FILE* fopen(const Text& path, const char* mode) { return WinCrt::wfopen(path, mode); }
    static Text fullpath(const Text& path) { return WinCrt::wfullpath(path); }
    static std::intptr_t findfirst(const Text& pattern, FindData* data)
    {
        return WinCrt::wfindfirst(pattern, data);
    }
    static int findnext(std::intptr_t handle, FindData* data) { return WinCrt::wfindnext(handle, data); }
};

template <typename Char> Char separator()
{
    return static_cast<Char>(PlatformConstants::separatorChar());
}

template <typename Char> bool isFolder(const std::basic_string<Char>& path)
{
    const Win32Api::DWORD attributes = Api<Char>::attributes(path);
    return attributes != Win32Api::kInvalidFileAttributes && (attributes & Win32Api::kFileAttributeDirectory);
}

template <typename Char> bool exists(const std::basic_string<Char>& path)
{
    return !path.empty() && Api<Char>::access(path, 0) == 0;
}

template <typename Char> bool removeFolder(const std::basic_string<Char>& folder)
{
    using A = Api<Char>;
    if (folder.empty())
        return false;
    std::basic_string<Char> base = folder;
    if (base.back() != Char('/') && base.back() != separator<Char>())
        base += separator<Char>();
    typename A::FindData entry;
    const std::intptr_t search = A::findfirst(base + A::ascii("*.*"), &entry);
    if (search == -1)
        return false;
    do {
        if (entry.name == A::ascii(".") || entry.name == A::ascii(".."))
            continue;
        const std::basic_string<Char> full = base + entry.name;
        if (!(entry.attrib & WinCrt::kAttribSubdir))
            A::deleteFile(full);
        else if (!(entry.attrib & WinCrt::kAttribSystem))
            removeFolder(full);
    } while (A::findnext(search, &entry) == 0);
    WinCrt::findclose(search);
    A::rmdir(folder);
    return true;
}

template <typename Char> bool makeFolders(const std::basic_string<Char>& folder)
{
    using A = Api<Char>;
    if (folder == A::ascii(".") || folder == A::ascii("..") || exists(folder))
        return true;
    if (folder.empty())
        return false;
    const std::size_t parentEnd = folder.rfind(separator<Char>());
    if (parentEnd != std::basic_string<Char>::npos && parentEnd > 0)
        makeFolders(folder.substr(0, parentEnd));
    // A folder written with a trailing separator exists once its parent step made it.
    return A::mkdir(folder) == 0 || isFolder(folder);
}

// Position of the last separator before the text's last character, or npos.
template <typename Char> std::size_t lastInnerSeparator(const std::basic_string<Char>& path)
{
    if (path.size() < 2)
        return std::basic_string<Char>::npos;
    return path.rfind(separator<Char>(), path.size() - 2);
}

template <typename Char> std::basic_string<Char> nameOf(const std::basic_string<Char>& path)
{
    const std::size_t p = lastInnerSeparator(path);
    if (p == std::basic_string<Char>::npos)
        return std::basic_string<Char>();
    std::basic_string<Char> name = path.substr(p + 1);
    if (!name.empty() && name.back() == separator<Char>())
        name.pop_back();
    return name;
}

template <typename Char> bool hide(const std::basic_string<Char>& path)
{
    const Win32Api::DWORD attributes = Api<Char>::attributes(path);
    if (attributes == Win32Api::kInvalidFileAttributes)
        return false;
    return Api<Char>::setAttributes(path, attributes | Win32Api::kFileAttributeHidden |
                                              Win32Api::kFileAttributeSystem) != Win32Api::kFalse;
}

template <typename Char> bool createEmpty(const std::basic_string<Char>& path)
{
    std::FILE* file = Api<Char>::fopen(path, "wb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

template <typename Char> std::basic_string<Char> absolute(const std::basic_string<Char>& path)
{
    std::basic_string<Char> full = Api<Char>::fullpath(path);
    if (full.size() + 1 > static_cast<std::size_t>(PlatformConstants::maxPath()))
        return std::basic_string<Char>();
    return full;
}

template <typename Char> std::basic_string<Char> folderOf(const std::basic_string<Char>& path)
{
    const std::basic_string<Char> full = absolute(path);
    const std::size_t p = lastInnerSeparator(full);
    if (p == std::basic_string<Char>::npos)
        return std::basic_string<Char>();
    return full.substr(0, p + 1);
}

template <typename Char> std::basic_string<Char> extension(const std::basic_string<Char>& path)
{
    const std::basic_string<Char> name = nameOf(path);
    const std::size_t dot = name.rfind(Char('.'));
    if (dot == std::basic_string<Char>::npos)
        return std::basic_string<Char>();
    return name.substr(dot);
}

template <typename Char> bool readWhole(const std::basic_string<Char>& path, std::string& content)
{
    std::FILE* file = Api<Char>::fopen(path, "rb");
    if (!file)
        return false;
    const long long length = WinCrt::filelength(file);
    bool ok = length >= 0;
    try {
        content.assign(ok ? static_cast<std::size_t>(length) : 0, '\0');
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (ok && !content.empty()) {
        // The file may have shrunk since its length was taken: keep what was really read.
        const std::size_t read = std::fread(&content[0], 1, content.size(), file);
        ok = !std::ferror(file);
        content.resize(read);
    }
    std::fclose(file);
    if (!ok)
        content.clear();
    return ok;
}

template <typename Char>
bool writeWhole(const std::basic_string<Char>& path, const char* data, std::size_t length)
{
    if (!data && length > 0)
        return false;
    std::FILE* file = Api<Char>::fopen(path, "wb");
    if (!file)
        return false;
    const std::size_t written = length > 0 ? std::fwrite(data, 1, length, file) : 0;
    bool ok = written == length && std::fflush(file) == 0;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace

bool deleteFile(const std::string& path)
{
    return Api<char>::deleteFile(path) != Win32Api::kFalse;
}

bool deleteFile(const std::wstring& path)
{
    return Api<wchar_t>::deleteFile(path) != Win32Api::kFalse;
}

bool removeDirectory(const std::string& folder)
{
    return removeFolder(folder);
}

bool removeDirectory(const std::wstring& folder)
{
    return removeFolder(folder);
}

bool makeDirectories(const std::string& folder)
{
    return makeFolders(folder);
}

bool makeDirectories(const std::wstring& folder)
{
    return makeFolders(folder);
}

bool fileExists(const std::string& path)
{
    return exists(path);
}

bool fileExists(const std::wstring& path)
{
    return exists(path);
}

std::string fileName(const std::string& path)
{
    return nameOf(path);
}

std::wstring fileName(const std::wstring& path)
{
    return nameOf(path);
}

bool hideFile(const std::string& path)
{
    return hide(path);
}

bool hideFile(const std::wstring& path)
{
    return hide(path);
}

bool createEmptyFile(const std::string& path)
{
    return createEmpty(path);
}

bool createEmptyFile(const std::wstring& path)
{
    return createEmpty(path);
}

Win32Api::BOOL moveFile(const std::string& from, const std::string& to)
{
    return Api<char>::moveFile(from, to);
}

Win32Api::BOOL moveFile(const std::wstring& from, const std::wstring& to)
{
    return Api<wchar_t>::moveFile(from, to);
}

bool copyFile(const std::string& from, const std::string& to, bool overwrite)
{
    return Api<char>::copyFile(from, to, overwrite ? Win32Api::kFalse : Win32Api::kTrue) != Win32Api::kFalse;
}

bool copyFile(const std::wstring& from, const std::wstring& to, bool overwrite)
{
    return Api<wchar_t>::copyFile(from, to, overwrite ? Win32Api::kFalse : Win32Api::kTrue) !=
           Win32Api::kFalse;
}

bool changeDirectory(const std::string& folder)
{
    return Api<char>::chdir(folder) == 0;
}

bool changeDirectory(const std::wstring& folder)
{
    return Api<wchar_t>::chdir(folder) == 0;
}

std::string fullPath(const std::string& path)
{
    return absolute(path);
}

std::wstring fullPath(const std::wstring& path)
{
    return absolute(path);
}

std::string directoryOf(const std::string& path)
{
    return folderOf(path);
}

std::wstring directoryOf(const std::wstring& path)
{
    return folderOf(path);
}

std::string extensionOf(const std::string& path)
{
    return extension(path);
}

std::wstring extensionOf(const std::wstring& path)
{
    return extension(path);
}

bool readFile(const std::string& path, std::string& content)
{
    return readWhole(path, content);
}

bool readFile(const std::wstring& path, std::string& content)
{
    return readWhole(path, content);
}

bool writeFile(const std::string& path, const std::string& content)
{
    return writeWhole(path, content.data(), content.size());
}

bool writeFile(const std::wstring& path, const std::string& content)
{
    return writeWhole(path, content.data(), content.size());
}

bool writeFile(const std::string& path, const char* data, std::size_t length)
{
    return writeWhole(path, data, length);
}

bool writeFile(const std::wstring& path, const char* data, std::size_t length)
{
    return writeWhole(path, data, length);
}
