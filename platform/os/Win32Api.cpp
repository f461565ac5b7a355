#include "Win32Api.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "NativePath.h"

namespace
{

// Where the hidden, system and archive bits of a file are kept, as a decimal number.
constexpr const char* kAttributeStore = "user.vx.attributes";
constexpr Win32Api::DWORD kStoredAttributes =
    Win32Api::kFileAttributeHidden | Win32Api::kFileAttributeSystem | Win32Api::kFileAttributeArchive;

thread_local Win32Api::DWORD t_lastError = Win32Api::kErrorSuccess;

std::string lastComponent(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.rfind('/', end - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(start, end - start);
}

Win32Api::DWORD storedAttributes(const std::string& path, bool followLinks)
{
    char value[16] = {};
    const ssize_t length = followLinks ? getxattr(path.c_str(), kAttributeStore, value, sizeof(value) - 1)
                                       : lgetxattr(path.c_str(), kAttributeStore, value, sizeof(value) - 1);
    if (length <= 0)
        return 0;
    return static_cast<Win32Api::DWORD>(std::strtoul(value, nullptr, 10)) & kStoredAttributes;
}

// A name of this system's temporary folder for a mutex name: letters and digits stay, every
// other byte of the UTF-8 name is written as two hexadecimal digits after '%'.
std::string mutexLockPath(const std::wstring& name)
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    std::string encoded = "vx-mutex-";
    for (const char c : NativePath::fromWide(name)) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) {
            encoded += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof(escape), "%%%02X", byte);
            encoded += escape;
        }
    }
    return (folder / encoded).string();
}

} // namespace

Win32Api::BOOL Win32Api::DeleteFileA(const char* path)
{
    return deleteFile(path ? std::string(path) : std::string());
}

Win32Api::BOOL Win32Api::DeleteFileW(const wchar_t* path)
{
    return deleteFile(NativePath::fromWide(path));
}

Win32Api::BOOL Win32Api::CopyFileA(const char* from, const char* to, BOOL failIfExists)
{
    return copyFile(from ? std::string(from) : std::string(), to ? std::string(to) : std::string(),
                    failIfExists);
}

Win32Api::BOOL Win32Api::CopyFileW(const wchar_t* from, const wchar_t* to, BOOL failIfExists)
{
    return copyFile(NativePath::fromWide(from), NativePath::fromWide(to), failIfExists);
}

Win32Api::BOOL Win32Api::MoveFileA(const char* from, const char* to)
{
    return moveFile(from ? std::string(from) : std::string(), to ? std::string(to) : std::string());
}

Win32Api::BOOL Win32Api::MoveFileW(const wchar_t* from, const wchar_t* to)
{
    return moveFile(NativePath::fromWide(from), NativePath::fromWide(to));
}

Win32Api::DWORD Win32Api::GetFileAttributesA(const char* path)
{
    const DWORD attributes = attributesOf(path ? std::string(path) : std::string(), true);
    if (attributes == kInvalidFileAttributes)
        setLastErrorFromErrno(errno);
    return attributes;
}

Win32Api::DWORD Win32Api::GetFileAttributesW(const wchar_t* path)
{
    const DWORD attributes = attributesOf(NativePath::fromWide(path), true);
    if (attributes == kInvalidFileAttributes)
        setLastErrorFromErrno(errno);
    return attributes;
}

Win32Api::BOOL Win32Api::SetFileAttributesA(const char* path, DWORD attributes)
{
    return setFileAttributes(path ? std::string(path) : std::string(), attributes);
}

Win32Api::BOOL Win32Api::SetFileAttributesW(const wchar_t* path, DWORD attributes)
{
    return setFileAttributes(NativePath::fromWide(path), attributes);
}

Win32Api::HANDLE Win32Api::CreateMutexW(void* securityAttributes, BOOL initialOwner, const wchar_t* name)
{
    (void)securityAttributes;
    (void)initialOwner;
    if (!name || !*name) {
        // An unnamed mutex is private to its handle; nothing here needs one.
        setLastError(kErrorInvalidParameter);
        return nullptr;
    }
    const std::string lockPath = mutexLockPath(name);
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return nullptr;
    }
    // flock locks belong to the open file, so a second handle of this same process also finds the
    // mutex taken, as on Windows.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        setLastError(kErrorSuccess);
    } else if (errno == EWOULDBLOCK) {
        setLastError(kErrorAlreadyExists);
    } else {
        setLastErrorFromErrno(errno);
        close(fd);
        return nullptr;
    }
    // The handle value is the descriptor plus one, so that descriptor 0 is not a null handle.
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

Win32Api::BOOL Win32Api::CloseHandle(HANDLE handle)
{
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(handle);
    if (value <= 0) {
        setLastError(kErrorInvalidParameter);
        return kFalse;
    }
    if (close(static_cast<int>(value - 1)) != 0) {
        setLastErrorFromErrno(errno);
        return kFalse;
    }
    return kTrue;
}

Win32Api::DWORD Win32Api::GetLastError()
{
    return t_lastError;
}

void Win32Api::SetLastError(DWORD error)
{
    setLastError(error);
}

void Win32Api::GetNativeSystemInfo(SystemInfo* info)
{
    if (!info)
        return;
    info->wProcessorArchitecture = kProcessorArchitectureUnknown;
    utsname name{};
    if (uname(&name) != 0)
        return;
    const std::string machine = name.machine;
    if (machine == "x86_64" || machine == "amd64")
        info->wProcessorArchitecture = kProcessorArchitectureAmd64;
    else if (machine == "ia64")
        info->wProcessorArchitecture = kProcessorArchitectureIa64;
    else if (machine == "aarch64" || machine == "arm64")
        info->wProcessorArchitecture = kProcessorArchitectureArm64;
    else if (machine.compare(0, 3, "arm") == 0)
        info->wProcessorArchitecture = kProcessorArchitectureArm;
    else if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0)
        info->wProcessorArchitecture = kProcessorArchitectureIntel;
}

void* Win32Api::GlobalAlloc(unsigned flags, std::size_t bytes)
{
    if ((flags & ~kGmemZeroInit) != kGmemFixed) {
        // Movable blocks need GlobalLock, which nothing here uses.
        setLastError(kErrorInvalidParameter);
        return nullptr;
    }
    const std::size_t size = bytes ? bytes : 1;
    void* block = (flags & kGmemZeroInit) ? std::calloc(1, size) : std::malloc(size);
    if (!block)
        setLastErrorFromErrno(ENOMEM);
    return block;
}

void* Win32Api::GlobalFree(void* block)
{
    std::free(block);
    return nullptr;
}

Win32Api::DWORD Win32Api::attributesOf(const std::string& path, bool followLinks)
{
    if (path.empty()) {
        errno = ENOENT;
        return kInvalidFileAttributes;
    }
    struct stat info {
    };
    if ((followLinks ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0)
        return kInvalidFileAttributes;
    const bool link = S_ISLNK(info.st_mode);
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= kFileAttributeDirectory;
    if (!link && !(info.st_mode & S_IWUSR))
        attributes |= kFileAttributeReadOnly;
    const std::string name = lastComponent(path);
    if (name.size() > 1 && name[0] == '.' && name != "..")
        attributes |= kFileAttributeHidden;
    attributes |= storedAttributes(path, followLinks);
    return attributes ? attributes : kFileAttributeNormal;
}

Win32Api::BOOL Win32Api::deleteFile(const std::string& path)
{
    struct stat info {
    };
    if (path.empty() || lstat(path.c_str(), &info) != 0) {
        setLastError(kErrorFileNotFound);
        return kFalse;
    }
    if (S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && !(info.st_mode & S_IWUSR))) {
        setLastError(kErrorAccessDenied);
        return kFalse;
    }
    if (unlink(path.c_str()) != 0) {
        setLastErrorFromErrno(errno);
        return kFalse;
    }
    return kTrue;
}

Win32Api::BOOL Win32Api::copyFile(const std::string& from, const std::string& to, BOOL failIfExists)
{
    if (from.empty() || to.empty()) {
        setLastError(kErrorFileNotFound);
        return kFalse;
    }
    std::error_code error;
    const auto options = failIfExists ? std::filesystem::copy_options::none
                                      : std::filesystem::copy_options::overwrite_existing;
    if (!std::filesystem::copy_file(from, to, options, error)) {
        setLastErrorFromErrno(error ? error.value() : EIO);
        return kFalse;
    }
    return kTrue;
}

Win32Api::BOOL Win32Api::moveFile(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty()) {
        setLastError(kErrorFileNotFound);
        return kFalse;
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return kTrue;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the no-replace rename: test first, then rename.
        struct stat target {
        };
        if (lstat(to.c_str(), &target) == 0) {
            setLastError(kErrorAlreadyExists);
            return kFalse;
        }
        if (rename(from.c_str(), to.c_str()) == 0)
            return kTrue;
        error = errno;
    }
    if (error == EXDEV) {
        struct stat source {
        };
        if (lstat(from.c_str(), &source) == 0 && S_ISREG(source.st_mode)) {
            std::error_code copyError;
            if (std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, copyError)) {
                if (unlink(from.c_str()) == 0)
                    return kTrue;
                error = errno;
                unlink(to.c_str());
            } else {
                error = copyError.value();
            }
        }
    }
    setLastErrorFromErrno(error);
    return kFalse;
}

Win32Api::BOOL Win32Api::setFileAttributes(const std::string& path, DWORD attributes)
{
    struct stat info {
    };
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        setLastError(kErrorFileNotFound);
        return kFalse;
    }
    const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
    mode_t mode = info.st_mode & 07777;
    if (attributes & kFileAttributeReadOnly)
        mode &= ~writable;
    else if (!(mode & S_IWUSR))
        mode |= S_IWUSR;
    if (mode != (info.st_mode & 07777) && chmod(path.c_str(), mode) != 0) {
        setLastErrorFromErrno(errno);
        return kFalse;
    }
    const DWORD stored = attributes & kStoredAttributes;
    if (stored) {
        const std::string value = std::to_string(stored);
        if (setxattr(path.c_str(), kAttributeStore, value.data(), value.size(), 0) != 0) {
            setLastErrorFromErrno(errno);
            return kFalse;
        }
    } else if (removexattr(path.c_str(), kAttributeStore) != 0 && errno != ENODATA && errno != ENOTSUP) {
        setLastErrorFromErrno(errno);
        return kFalse;
    }
    return kTrue;
}

void Win32Api::setLastError(DWORD error)
{
    t_lastError = error;
}

void Win32Api::setLastErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        setLastError(kErrorSuccess);
        break;
    case ENOENT:
    case ENOTDIR:
        setLastError(kErrorFileNotFound);
        break;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        setLastError(kErrorAccessDenied);
        break;
    case EEXIST:
    case ENOTEMPTY:
        setLastError(kErrorFileExists);
        break;
    case ENOTSUP:
        setLastError(kErrorNotSupported);
        break;
    case EINVAL:
        setLastError(kErrorInvalidParameter);
        break;
    default:
        setLastError(kErrorGenFailure);
        break;
    }
}
