#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The runtime library calls of the core's file helpers that Windows has and this system has not
// in the same form: the wide-path variants, _fullpath, _filelength and the _findfirst search.
// Results follow the Windows runtime: 0 for success and -1 for failure where it returns an int.
class WinCrt
{
public:
    // Bits of FindData::attrib (the runtime's _A_RDONLY, _A_HIDDEN, _A_SYSTEM, _A_SUBDIR, _A_ARCH).
    static constexpr unsigned kAttribReadOnly = 0x01;
    static constexpr unsigned kAttribHidden = 0x02;
    static constexpr unsigned kAttribSystem = 0x04;
    static constexpr unsigned kAttribSubdir = 0x10;
    static constexpr unsigned kAttribArchive = 0x20;

    struct FindData {
        unsigned attrib = 0;
        std::string name;
    };
    struct WideFindData {
        unsigned attrib = 0;
        std::wstring name;
    };

    // mode 0 tests existence, 2 writing, 4 reading, 6 both (the same values as POSIX).
    static int access(const std::string& path, int mode);
    static int waccess(const std::wstring& path, int mode);
    static int chdir(const std::string& folder);
    static int wchdir(const std::wstring& folder);
    static int mkdir(const std::string& folder);
    static int wmkdir(const std::wstring& folder);
    static int rmdir(const std::string& folder);
    static int wrmdir(const std::wstring& folder);
    static std::FILE* fopen(const std::string& path, const char* mode);
    static std::FILE* wfopen(const std::wstring& path, const char* mode);

    // Length in bytes of the open file, -1 when it cannot be read.
    static long long filelength(std::FILE* file);

    // The absolute form of a path against the current folder, with "." and ".." resolved in the
    // text (links are not followed and the path need not exist); empty on failure.
    static std::string fullpath(const std::string& path);
    static std::wstring wfullpath(const std::wstring& path);

    // A search over the entries of one folder whose names match the pattern's last component
    // ("*" and "*.*" match every name, "." and ".." included). findfirst returns a handle for
    // findnext and findclose, or -1 when the folder cannot be listed or nothing matches.
    // A symbolic link is listed as a file, never as a folder.
    static std::intptr_t findfirst(const std::string& pattern, FindData* data);
    static std::intptr_t wfindfirst(const std::wstring& pattern, WideFindData* data);
    static int findnext(std::intptr_t handle, FindData* data);
    static int wfindnext(std::intptr_t handle, WideFindData* data);
    static int findclose(std::intptr_t handle);

private:
    static bool nextEntry(std::intptr_t handle, std::string* name, unsigned* attrib);
};
