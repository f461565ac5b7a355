#include "WinModule.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "LastError.h"
#include "WideText.h"

struct HRSRC__ {
    // Resource handles point into the module's image: the note's descriptor.
    char unused;
};

namespace
{

constexpr const char* kNoteOwner = "Vornex";
constexpr ElfW(Word) kResourceNoteType = 1;
constexpr std::size_t kTypeNameSize = 16;

// The descriptor of a resource note: number, type name, bytes.
struct ResourceHeader {
    std::uint32_t id;
    char typeName[kTypeNameSize];
};

std::string moduleFileName(HMODULE module)
{
    if (!module) {
        char buffer[PATH_MAX + 1] = {};
        const ssize_t length = ::readlink("/proc/self/exe", buffer, PATH_MAX);
        return length > 0 ? std::string(buffer, std::size_t(length)) : std::string();
    }
    Dl_info info;
    if (!::dladdr(reinterpret_cast<const void*>(module), &info) || !info.dli_fname)
        return std::string();
    if (!info.dli_fname[0])
        return moduleFileName(nullptr);
    return info.dli_fname;
}

void* openHandle(HMODULE module)
{
    const std::string path = moduleFileName(module);
    return path.empty() ? nullptr : ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
}

// The type name of a resource: a text, or "#" and the number of a numbered type.
std::string typeNameOf(LPCWSTR type)
{
    const UINT_PTR value = reinterpret_cast<UINT_PTR>(type);
    if (IS_INTRESOURCE(value))
        return "#" + std::to_string(value);
    return WideText::toUtf8(type);
}

struct NoteSearch {
    UINT_PTR base;
    std::uint32_t id;
    std::string typeName;
    const unsigned char* found = nullptr;
    std::size_t size = 0;
};

bool holdsAddress(const dl_phdr_info* info, UINT_PTR address)
{
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        const UINT_PTR start = info->dlpi_addr + header.p_vaddr;
        if (header.p_type == PT_LOAD && address >= start && address < start + header.p_memsz)
            return true;
    }
    return false;
}

std::size_t aligned4(std::size_t value)
{
    return (value + 3) & ~std::size_t(3);
}

void searchNotes(const unsigned char* notes, std::size_t length, NoteSearch* search)
{
    std::size_t position = 0;
    while (position + sizeof(ElfW(Nhdr)) <= length && !search->found) {
        ElfW(Nhdr) note;
        std::memcpy(&note, notes + position, sizeof(note));
        const std::size_t nameAt = position + sizeof(note);
        const std::size_t descAt = nameAt + aligned4(note.n_namesz);
        const std::size_t next = descAt + aligned4(note.n_descsz);
        if (next > length)
            return;
        const bool ours = note.n_type == kResourceNoteType && note.n_namesz == std::strlen(kNoteOwner) + 1 &&
                          std::memcmp(notes + nameAt, kNoteOwner, note.n_namesz) == 0;
        if (ours && note.n_descsz >= sizeof(ResourceHeader)) {
            ResourceHeader header;
            std::memcpy(&header, notes + descAt, sizeof(header));
            const std::string typeName(header.typeName, strnlen(header.typeName, kTypeNameSize));
            if (header.id == search->id && strcasecmp(typeName.c_str(), search->typeName.c_str()) == 0) {
                search->found = notes + descAt + sizeof(ResourceHeader);
                search->size = note.n_descsz - sizeof(ResourceHeader);
            }
        }
        position = next;
    }
}

int visitObject(dl_phdr_info* info, std::size_t, void* data)
{
    NoteSearch* search = static_cast<NoteSearch*>(data);
    if (!holdsAddress(info, search->base))
        return 0;
    for (int i = 0; i < info->dlpi_phnum && !search->found; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_NOTE)
            searchNotes(reinterpret_cast<const unsigned char*>(info->dlpi_addr + header.p_vaddr),
                        header.p_memsz, search);
    }
    return 1;
}

// A resource handle is the address of the resource's bytes inside its note; the note's header,
// which holds the size, lies at a fixed distance before them.
const ElfW(Nhdr) * noteHeaderOf(const unsigned char* bytes)
{
    // The descriptor starts after the header and the 8 bytes of the padded owner name.
    return reinterpret_cast<const ElfW(Nhdr)*>(bytes - sizeof(ResourceHeader) -
                                               aligned4(std::strlen(kNoteOwner) + 1) - sizeof(ElfW(Nhdr)));
}

} // namespace

HMODULE LoadLibraryW(LPCWSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = WideText::toUtf8(fileName);
    if (path[0] != '/') {
        char folder[PATH_MAX + 1] = {};
        if (::getcwd(folder, PATH_MAX))
            path = std::string(folder) + "/" + path;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        ::dlclose(handle);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return moduleOfAddress(reinterpret_cast<const void*>(map->l_ld));
}

BOOL FreeLibrary(HMODULE module)
{
    void* handle = openHandle(module);
    if (!handle)
        return FALSE;
    ::dlclose(handle);
    return ::dlclose(handle) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    void* handle = openHandle(module);
    if (!handle || !procName) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = ::dlsym(handle, procName);
    ::dlclose(handle);
    if (!symbol)
        SetLastError(ERROR_PROC_NOT_FOUND);
    FARPROC function = nullptr;
    std::memcpy(&function, &symbol, sizeof(function));
    return function;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size)
{
    const std::wstring name = WideText::fromUtf8(moduleFileName(module));
    if (name.empty() || !fileName || size == 0) {
        SetLastError(name.empty() ? ERROR_MOD_NOT_FOUND : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.size() < size) {
        std::wmemcpy(fileName, name.c_str(), name.size() + 1);
        SetLastError(ERROR_SUCCESS);
        return DWORD(name.size());
    }
    std::wmemcpy(fileName, name.c_str(), size - 1);
    fileName[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

HMODULE moduleOfAddress(const void* address)
{
    Dl_info info;
    if (!::dladdr(address, &info))
        return nullptr;
    return reinterpret_cast<HMODULE>(info.dli_fbase);
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    const UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
    if (!module || !IS_INTRESOURCE(id) || !type) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    NoteSearch search;
    search.base = reinterpret_cast<UINT_PTR>(module);
    search.id = std::uint32_t(id);
    search.typeName = typeNameOf(type);
    ::dl_iterate_phdr(visitObject, &search);
    if (!search.found) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<unsigned char*>(search.found));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    return resource;
}

void* LockResource(HGLOBAL resource)
{
    return resource;
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    if (!resource)
        return 0;
    const ElfW(Nhdr)* note = noteHeaderOf(reinterpret_cast<const unsigned char*>(resource));
    return DWORD(note->n_descsz - sizeof(ResourceHeader));
}
