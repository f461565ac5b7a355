#include "WinRegistryApi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "RegistryFolder.h"
#include "SystemConstants.h"
#include "WideText.h"

struct HKEY__ {
    std::uint32_t tag;
    // The key's folders, the one written to first (two for a key of the merged classes view).
    std::vector<std::string> folders;
};

namespace
{

constexpr std::uint32_t kKeyTag = 0x5947454B; // "KEYG"
const wchar_t* const kClasses = L"Software\\Classes";

bool isPredefined(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

std::vector<std::wstring> splitPath(LPCWSTR subKey)
{
    std::vector<std::wstring> parts;
    std::wstring current;
    for (const wchar_t* p = subKey; p && *p; ++p) {
        if (*p == L'\\') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

std::vector<std::string> hiveFolders(HKEY key)
{
    if (key == HKEY_CURRENT_USER)
        return {SystemConstants::userRegistryFolder()};
    if (key == HKEY_LOCAL_MACHINE)
        return {SystemConstants::machineRegistryFolder()};
    return {};
}

// The folders of a predefined key's classes view, user's first.
std::vector<std::string> classesFolders()
{
    std::vector<std::string> folders;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        std::string folder = hiveFolders(hive)[0];
        for (const std::wstring& part : splitPath(kClasses))
            folder = RegistryFolder::child(folder, part);
        folders.push_back(folder);
    }
    return folders;
}

bool keyFolders(HKEY key, std::vector<std::string>* folders)
{
    if (key == HKEY_CLASSES_ROOT) {
        *folders = classesFolders();
        return true;
    }
    if (isPredefined(key)) {
        *folders = hiveFolders(key);
        return true;
    }
    if (!key || key->tag != kKeyTag)
        return false;
    *folders = key->folders;
    return true;
}

HKEY newKey(const std::vector<std::string>& folders)
{
    HKEY key = new HKEY__;
    key->tag = kKeyTag;
    key->folders = folders;
    return key;
}

// The existing folders of the subkey below each of the parent's folders.
std::vector<std::string> existingBelow(const std::vector<std::string>& parents,
                                       const std::vector<std::wstring>& parts)
{
    std::vector<std::string> found;
    for (const std::string& parent : parents) {
        std::string folder = parent;
        bool exists = RegistryFolder::isKey(folder);
        for (std::size_t i = 0; exists && i < parts.size(); ++i)
            exists = RegistryFolder::findChild(folder, parts[i], &folder);
        if (exists)
            found.push_back(folder);
    }
    return found;
}

LSTATUS copyWide(const std::wstring& text, LPWSTR target, DWORD* length)
{
    if (!length)
        return ERROR_INVALID_PARAMETER;
    if (!target || *length <= text.size()) {
        *length = DWORD(text.size());
        return ERROR_MORE_DATA;
    }
    std::wmemcpy(target, text.c_str(), text.size() + 1);
    *length = DWORD(text.size());
    return ERROR_SUCCESS;
}

LSTATUS copyData(const RegistryFolder::Value& value, DWORD* type, BYTE* data, DWORD* size)
{
    std::vector<BYTE> bytes = value.data;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        const std::wstring text = WideText::fromUtf8(std::string(value.data.begin(), value.data.end()));
        bytes.assign(reinterpret_cast<const BYTE*>(text.c_str()),
                     reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1));
    }
    if (type)
        *type = value.type;
    if (!size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    if (!data) {
        *size = DWORD(bytes.size());
        return ERROR_SUCCESS;
    }
    if (*size < bytes.size()) {
        *size = DWORD(bytes.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    *size = DWORD(bytes.size());
    return ERROR_SUCCESS;
}

std::wstring nameOf(LPCWSTR valueName)
{
    return valueName ? std::wstring(valueName) : std::wstring();
}

} // namespace

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, void*, HKEY* result,
                        DWORD* disposition)
{
    std::vector<std::string> parents;
    if (!result || !keyFolders(key, &parents))
        return ERROR_INVALID_HANDLE;
    const std::vector<std::wstring> parts = splitPath(subKey);
    const std::vector<std::string> existing = existingBelow(parents, parts);
    if (!existing.empty()) {
        *result = newKey(existing);
        if (disposition)
            *disposition = REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    }
    // A key that exists nowhere is made below the last folder of the view (the machine's classes
    // for HKEY_CLASSES_ROOT, the key's own folder otherwise).
    std::string folder = parents.back();
    LSTATUS status = RegistryFolder::makeKey(folder);
    for (std::size_t i = 0; status == ERROR_SUCCESS && i < parts.size(); ++i)
        status = RegistryFolder::makeChild(folder, parts[i], &folder);
    if (status != ERROR_SUCCESS)
        return status;
    *result = newKey({folder});
    if (disposition)
        *disposition = REG_CREATED_NEW_KEY;
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, HKEY* result)
{
    std::vector<std::string> parents;
    if (!result || !keyFolders(key, &parents))
        return ERROR_INVALID_HANDLE;
    const std::vector<std::string> existing = existingBelow(parents, splitPath(subKey));
    if (existing.empty())
        return ERROR_FILE_NOT_FOUND;
    *result = newKey(existing);
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key)
{
    if (isPredefined(key))
        return ERROR_SUCCESS;
    if (!key || key->tag != kKeyTag)
        return ERROR_INVALID_HANDLE;
    key->tag = 0;
    delete key;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    std::vector<std::string> folders;
    if (!keyFolders(key, &folders) || folders.empty())
        return ERROR_INVALID_HANDLE;
    RegistryFolder::Value value;
    value.name = nameOf(valueName);
    value.type = type;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        const std::string bytes = WideText::toUtf8(text);
        value.data.assign(bytes.begin(), bytes.end());
    } else if (data) {
        value.data.assign(data, data + size);
    }
    return RegistryFolder::setValue(folders.front(), value);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    std::vector<std::string> folders;
    if (!keyFolders(key, &folders))
        return ERROR_INVALID_HANDLE;
    for (const std::string& folder : folders) {
        RegistryFolder::Value value;
        if (RegistryFolder::findValue(folder, nameOf(valueName), &value))
            return copyData(value, type, data, size);
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName)
{
    std::vector<std::string> folders;
    if (!keyFolders(key, &folders) || folders.empty())
        return ERROR_INVALID_HANDLE;
    return RegistryFolder::removeValue(folders.front(), nameOf(valueName));
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD*, LPWSTR, DWORD*, void*)
{
    std::vector<std::string> folders;
    if (!keyFolders(key, &folders))
        return ERROR_INVALID_HANDLE;
    const std::vector<std::wstring> names = RegistryFolder::childNames(folders);
    if (index >= names.size())
        return ERROR_NO_MORE_ITEMS;
    return copyWide(names[index], name, nameLength);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size)
{
    std::vector<std::string> folders;
    if (!keyFolders(key, &folders) || folders.empty())
        return ERROR_INVALID_HANDLE;
    const std::vector<RegistryFolder::Value> values = RegistryFolder::values(folders.front());
    if (index >= values.size())
        return ERROR_NO_MORE_ITEMS;
    const LSTATUS status = copyWide(values[index].name, name, nameLength);
    if (status != ERROR_SUCCESS)
        return status;
    return copyData(values[index], type, data, size);
}

LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR, DWORD*, DWORD*, DWORD* subKeys, DWORD*, DWORD*, DWORD* values,
                         DWORD*, DWORD*, DWORD*, void*)
{
    std::vector<std::string> folders;
    if (!keyFolders(key, &folders))
        return ERROR_INVALID_HANDLE;
    if (subKeys)
        *subKeys = DWORD(RegistryFolder::childNames(folders).size());
    if (values)
        *values = folders.empty() ? 0 : DWORD(RegistryFolder::values(folders.front()).size());
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey)
{
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(key, subKey, 0, KEY_ALL_ACCESS, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    const std::string folder = opened->folders.front();
    const bool hasSubKeys = !RegistryFolder::childNames({folder}).empty();
    RegCloseKey(opened);
    if (hasSubKeys)
        return ERROR_ACCESS_DENIED;
    return RegistryFolder::removeTree(folder);
}

LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey)
{
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(key, subKey, 0, KEY_ALL_ACCESS, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    const std::string folder = opened->folders.front();
    RegCloseKey(opened);
    if (!subKey || !*subKey)
        return RegistryFolder::clearKey(folder);
    return RegistryFolder::removeTree(folder);
}
