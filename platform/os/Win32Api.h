#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The Windows calls of the core's file and system helpers, carried out here with POSIX and
// std::filesystem. The names, arguments and results are those of the Windows functions, so the
// helpers read the same on both systems; the comments say where this system has to differ.
//
// The window calls, which need Qt Widgets, are Win32Window's (platform/widgets).
//
// File attributes: the directory bit comes from the file's type and the read-only bit from the
// owner's write permission; a name starting with '.' counts as hidden. The hidden, system and
// archive bits that a caller sets are kept in the extended attribute "user.vx.attributes".
class Win32Api
{
public:
    using BOOL = int;
    using WORD = std::uint16_t;
    using DWORD = std::uint32_t;
    using HANDLE = void*;
    using HWND = void*;

    static constexpr BOOL kTrue = 1;
    static constexpr BOOL kFalse = 0;

    static constexpr DWORD kInvalidFileAttributes = 0xFFFFFFFFu;
    static constexpr DWORD kFileAttributeReadOnly = 0x1;
    static constexpr DWORD kFileAttributeHidden = 0x2;
    static constexpr DWORD kFileAttributeSystem = 0x4;
    static constexpr DWORD kFileAttributeDirectory = 0x10;
    static constexpr DWORD kFileAttributeArchive = 0x20;
    static constexpr DWORD kFileAttributeNormal = 0x80;

    static constexpr DWORD kErrorSuccess = 0;
    static constexpr DWORD kErrorFileNotFound = 2;
    static constexpr DWORD kErrorAccessDenied = 5;
    static constexpr DWORD kErrorNotSupported = 50;
    static constexpr DWORD kErrorFileExists = 80;
    static constexpr DWORD kErrorInvalidParameter = 87;
    static constexpr DWORD kErrorAlreadyExists = 183;
    static constexpr DWORD kErrorGenFailure = 31;
    static constexpr DWORD kErrorInvalidWindowHandle = 1400;

    static constexpr WORD kProcessorArchitectureIntel = 0;
    static constexpr WORD kProcessorArchitectureArm = 5;
    static constexpr WORD kProcessorArchitectureIa64 = 6;
    static constexpr WORD kProcessorArchitectureAmd64 = 9;
    static constexpr WORD kProcessorArchitectureArm64 = 12;
    static constexpr WORD kProcessorArchitectureUnknown = 0xFFFF;

    static constexpr unsigned kGmemFixed = 0x0;
    static constexpr unsigned kGmemZeroInit = 0x40;

    struct SystemInfo {
        WORD wProcessorArchitecture = kProcessorArchitectureUnknown;
    };

    // Deletes a file. Like Windows, refuses folders and read-only files; a symbolic link is
    // removed itself, never its target.
    static BOOL DeleteFileA(const char* path);
    static BOOL DeleteFileW(const wchar_t* path);

    // Copies a file's content; with failIfExists an existing target makes the call fail.
    static BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists);
    static BOOL CopyFileW(const wchar_t* from, const wchar_t* to, BOOL failIfExists);

    // Renames a file or folder; an existing target makes the call fail. A file moved to another
    // file system is copied and the source removed.
    static BOOL MoveFileA(const char* from, const char* to);
    static BOOL MoveFileW(const wchar_t* from, const wchar_t* to);

    static DWORD GetFileAttributesA(const char* path);
    static DWORD GetFileAttributesW(const wchar_t* path);
    static BOOL SetFileAttributesA(const char* path, DWORD attributes);
    static BOOL SetFileAttributesW(const wchar_t* path, DWORD attributes);

    // A named mutex that lives as long as one of its handles. Here: an exclusive lock on a file in
    // the system's temporary folder named after the mutex. When another handle (of this or another
    // process) already holds it, the call still returns a handle and sets kErrorAlreadyExists.
    static HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, const wchar_t* name);
    static BOOL CloseHandle(HANDLE handle);

    // Error code of this thread's last failed (or, for CreateMutexW, last) call.
    static DWORD GetLastError();

    // Sets this thread's last error, as the window calls (Win32Window) do on failure.
    static void SetLastError(DWORD error);

    // The processor architecture of the machine, from uname.
    static void GetNativeSystemInfo(SystemInfo* info);

    // A fixed block of memory, released with GlobalFree (which returns null on success).
    static void* GlobalAlloc(unsigned flags, std::size_t bytes);
    static void* GlobalFree(void* block);

    // Attributes of a byte path; followLinks false describes a symbolic link itself (as a file).
    static DWORD attributesOf(const std::string& path, bool followLinks);

private:
    static BOOL deleteFile(const std::string& path);
    static BOOL copyFile(const std::string& from, const std::string& to, BOOL failIfExists);
    static BOOL moveFile(const std::string& from, const std::string& to);
    static BOOL setFileAttributes(const std::string& path, DWORD attributes);
    static void setLastError(DWORD error);
    static void setLastErrorFromErrno(int error);
};
