#pragma once

#include <string>
#include <vector>

#include "ComTypes.h"

// One registry key as a folder of this system: its subkeys are subfolders named after them (with
// '%', '/' and a leading '.' written as '%' and two hexadecimal digits), its values lines of the
// file ".values": name, type and data separated by tabs, texts as UTF-8 and other data as
// hexadecimal digits, '%', tab and line ends in texts escaped like folder names.
class RegistryFolder
{
public:
    struct Value {
        std::wstring name;
        DWORD type = 0;
        std::vector<BYTE> data; // REG_SZ: UTF-8 without the terminating zero
    };

    // The folder a subkey of that name would have (it need not exist).
    static std::string child(const std::string& folder, const std::wstring& name);
    static bool isKey(const std::string& folder);
    // The existing subkey whose name equals `name` apart from the case of A-Z.
    static bool findChild(const std::string& folder, const std::wstring& name, std::string* found);
    // Makes the folder (and its parents) a key; ERROR_ACCESS_DENIED when something else is in the way.
    static LSTATUS makeKey(const std::string& folder);
    static LSTATUS makeChild(const std::string& folder, const std::wstring& name, std::string* made);
    // Names of the subkeys of all the folders, each once, in order of their names.
    static std::vector<std::wstring> childNames(const std::vector<std::string>& folders);

    static std::vector<Value> values(const std::string& folder);
    static bool findValue(const std::string& folder, const std::wstring& name, Value* value);
    static LSTATUS setValue(const std::string& folder, const Value& value);
    static LSTATUS removeValue(const std::string& folder, const std::wstring& name);

    static LSTATUS removeTree(const std::string& folder);
    // Removes the subkeys and values, keeping the key.
    static LSTATUS clearKey(const std::string& folder);

private:
    static std::string encodeName(const std::wstring& name);
    static std::wstring decodeName(const std::string& name);
    static LSTATUS writeValues(const std::string& folder, const std::vector<Value>& values);
    static bool sameName(const std::wstring& a, const std::wstring& b);
};
