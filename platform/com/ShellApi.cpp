#include "ShellApi.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CommandLineSplitter.h"
#include "GlobalMemory.h"
#include "WideText.h"

extern char** environ;

namespace
{

// The names of a drop list, read from its locked bytes: wide names, or 8-bit UTF-8 names.
template <typename Char>
std::vector<std::basic_string<Char>> readNames(const unsigned char* bytes, std::size_t size,
                                               std::size_t position)
{
    std::vector<std::basic_string<Char>> names;
    std::basic_string<Char> current;
    while (position + sizeof(Char) <= size) {
        Char c = 0;
        std::memcpy(&c, bytes + position, sizeof(Char));
        position += sizeof(Char);
        if (c != 0) {
            current += c;
            continue;
        }
        if (current.empty())
            break;
        names.push_back(current);
        current.clear();
    }
    return names;
}

std::vector<std::wstring> dropNames(const unsigned char* bytes, std::size_t size)
{
    if (size < sizeof(DROPFILES))
        return std::vector<std::wstring>();
    DROPFILES header;
    std::memcpy(&header, bytes, sizeof(header));
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles > size)
        return std::vector<std::wstring>();
    if (header.fWide)
        return readNames<wchar_t>(bytes, size, header.pFiles);
    std::vector<std::wstring> names;
    for (const std::string& name : readNames<char>(bytes, size, header.pFiles))
        names.push_back(WideText::fromUtf8(name));
    return names;
}

// A drop handle is the block's handle, or (as the Shell's callers often pass it) the address that
// GlobalLock gave for it.
std::vector<std::wstring> namesOf(HDROP hDrop)
{
    HGLOBAL memory = reinterpret_cast<HGLOBAL>(hDrop);
    if (GlobalSize(memory) == 0)
        memory = GlobalHandle(hDrop);
    const unsigned char* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
    if (!bytes)
        return std::vector<std::wstring>();
    std::vector<std::wstring> names = dropNames(bytes, GlobalSize(memory));
    GlobalUnlock(memory);
    return names;
}

bool isExecutableFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program's path: a name with a folder as it stands (against the working folder when
// relative), a bare name in the working folder first, then on PATH. Empty when nothing is found.
std::string resolveProgram(const std::string& file, const std::string& folder)
{
    if (file.find('/') != std::string::npos)
        return file[0] == '/' || folder.empty() ? file : folder + "/" + file;
    if (!folder.empty() && isExecutableFile(folder + "/" + file))
        return folder + "/" + file;
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(start, end - start);
        if (!entry.empty() && isExecutableFile(entry + "/" + file))
            return entry + "/" + file;
        start = end + 1;
    }
    return folder.empty() ? file : folder + "/" + file;
}

INT_PTR errorForErrno(int error)
{
    if (error == EACCES || error == EPERM || error == ENOEXEC)
        return SE_ERR_ACCESSDENIED;
    if (error == ENOMEM)
        return SE_ERR_OOM;
    return SE_ERR_FNF;
}

// Starts the program in the folder through an intermediate child that exits at once, so the
// program is adopted by the system's first process and never waited for. The result of its exec
// comes back through a pipe that closes on success.
INT_PTR startDetached(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& folder)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return SE_ERR_OOM;
    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return SE_ERR_OOM;
    }
    if (middle == 0) {
        // Only async-signal-safe calls from here on.
        ::close(report[0]);
        const pid_t programPid = ::fork();
        if (programPid == 0) {
            int error = 0;
            if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
                error = -1;
            } else {
                ::execve(argv[0], argv.data(), environ);
                error = errno;
            }
            (void)!::write(report[1], &error, sizeof(error));
            ::_exit(127);
        }
        ::_exit(programPid < 0 ? 1 : 0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // Bounded: the pipe closes when the program's exec succeeds or its child exits.
    int error = 0;
    ssize_t got = 0;
    pollfd waitFor = {report[0], POLLIN, 0};
    if (::poll(&waitFor, 1, 10000) > 0)
        got = ::read(report[0], &error, sizeof(error));
    ::close(report[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return SE_ERR_OOM;
    if (got == ssize_t(sizeof(error)))
        return error == -1 ? SE_ERR_PNF : errorForErrno(error);
    return 42;
}

} // namespace

UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch)
{
    const std::vector<std::wstring> names = namesOf(hDrop);
    if (iFile == 0xFFFFFFFFu)
        return UINT(names.size());
    if (iFile >= names.size())
        return 0;
    const std::wstring& name = names[iFile];
    if (!lpszFile)
        return UINT(name.size());
    if (cch == 0)
        return 0;
    const std::size_t copied = std::min<std::size_t>(name.size(), cch - 1);
    std::wmemcpy(lpszFile, name.data(), copied);
    lpszFile[copied] = L'\0';
    return UINT(copied);
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int)
{
    if (operation && *operation && std::wcscmp(operation, L"open") != 0)
        return reinterpret_cast<HINSTANCE>(SE_ERR_NOASSOC);
    if (!file || !*file)
        return reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
    std::string folder = directory ? WideText::toUtf8(directory) : std::string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat info;
    if (!folder.empty() && (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
        return reinterpret_cast<HINSTANCE>(SE_ERR_PNF);
    const std::string program = resolveProgram(WideText::toUtf8(file), folder);
    if (::stat(program.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
    std::vector<std::string> arguments;
    for (const std::wstring& argument : CommandLineSplitter::split(parameters ? parameters : L""))
        arguments.push_back(WideText::toUtf8(argument));
    return reinterpret_cast<HINSTANCE>(startDetached(program, arguments, folder));
}
