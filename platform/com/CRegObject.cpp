#include "CRegObject.h"

#include <cwctype>

#include "WideText.h"
#include "WinModule.h"
#include "WinRegistryApi.h"
#include "WinString.h"

struct CRegObject::Node {
    enum class Flag { None, NoRemove, ForceRemove, Delete };
    Flag flag = Flag::None;
    bool isValue = false; // a "val" entry
    std::wstring name;
    bool hasValue = false;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    std::vector<Node> children;
};

namespace
{

// Tokens separated by white space; a quoted text is one token, marked by a leading '\''.
bool tokenize(const std::wstring& script, std::vector<std::wstring>* tokens)
{
    std::size_t i = 0;
    while (i < script.size()) {
        if (std::iswspace(script[i])) {
            ++i;
            continue;
        }
        std::wstring token;
        if (script[i] == L'\'') {
            token += L'\'';
            ++i;
            while (true) {
                if (i >= script.size())
                    return false;
                if (script[i] == L'\'') {
                    if (i + 1 < script.size() && script[i + 1] == L'\'') {
                        token += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token += script[i++];
            }
        } else {
            while (i < script.size() && !std::iswspace(script[i]))
                token += script[i++];
        }
        tokens->push_back(token);
    }
    return true;
}

bool isWord(const std::wstring& token, const wchar_t* word)
{
    return !token.empty() && token[0] != L'\'' && _wcsicmp(token.c_str(), word) == 0;
}

std::wstring textOf(const std::wstring& token)
{
    return !token.empty() && token[0] == L'\'' ? token.substr(1) : token;
}

bool bytesOfHex(const std::wstring& text, std::vector<BYTE>* bytes)
{
    if (text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const std::wstring pair = text.substr(i, 2);
        if (!std::iswxdigit(pair[0]) || !std::iswxdigit(pair[1]))
            return false;
        bytes->push_back(BYTE(std::wcstoul(pair.c_str(), nullptr, 16)));
    }
    return true;
}

HRESULT fromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

} // namespace

CRegObject::CRegObject() = default;
CRegObject::~CRegObject() = default;

HRESULT CRegObject::AddReplacement(LPCOLESTR key, LPCOLESTR item)
{
    if (!key || !item)
        return E_INVALIDARG;
    m_replacements[key] = item;
    return S_OK;
}

HRESULT CRegObject::ClearReplacements()
{
    m_replacements.clear();
    return S_OK;
}

bool CRegObject::replace(const std::wstring& text, std::wstring* result) const
{
    result->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            *result += text[i];
            continue;
        }
        const std::size_t end = text.find(L'%', i + 1);
        if (end == std::wstring::npos)
            return false;
        if (end == i + 1) {
            *result += L'%';
        } else {
            const auto found = m_replacements.find(text.substr(i + 1, end - i - 1));
            if (found == m_replacements.end())
                return false;
            *result += found->second;
        }
        i = end;
    }
    return true;
}

bool CRegObject::parseKeys(std::vector<std::wstring>& tokens, std::size_t* position, std::vector<Node>* keys)
{
    std::size_t& i = *position;
    while (i < tokens.size() && !isWord(tokens[i], L"}")) {
        Node node;
        if (isWord(tokens[i], L"NoRemove")) {
            node.flag = Node::Flag::NoRemove;
            ++i;
        } else if (isWord(tokens[i], L"ForceRemove")) {
            node.flag = Node::Flag::ForceRemove;
            ++i;
        } else if (isWord(tokens[i], L"Delete")) {
            node.flag = Node::Flag::Delete;
            ++i;
        } else if (isWord(tokens[i], L"val")) {
            node.isValue = true;
            ++i;
        }
        if (i >= tokens.size() || !replace(textOf(tokens[i]), &node.name) || node.name.empty())
            return false;
        ++i;
        if (i < tokens.size() && isWord(tokens[i], L"=")) {
            if (i + 2 >= tokens.size())
                return false;
            const std::wstring& type = tokens[i + 1];
            std::wstring value;
            if (!replace(textOf(tokens[i + 2]), &value))
                return false;
            node.hasValue = true;
            if (isWord(type, L"s")) {
                node.type = REG_SZ;
                const std::wstring wide(value);
                node.data.assign(reinterpret_cast<const BYTE*>(wide.c_str()),
                                 reinterpret_cast<const BYTE*>(wide.c_str() + wide.size() + 1));
            } else if (isWord(type, L"d")) {
                node.type = REG_DWORD;
                const DWORD number = DWORD(std::wcstoul(value.c_str(), nullptr, 0));
                node.data.assign(reinterpret_cast<const BYTE*>(&number),
                                 reinterpret_cast<const BYTE*>(&number) + sizeof(number));
            } else if (isWord(type, L"b")) {
                node.type = REG_BINARY;
                if (!bytesOfHex(value, &node.data))
                    return false;
            } else {
                return false;
            }
            i += 3;
        } else if (node.isValue) {
            return false;
        }
        if (!node.isValue && i < tokens.size() && isWord(tokens[i], L"{")) {
            ++i;
            if (!parseKeys(tokens, position, &node.children) || i >= tokens.size())
                return false;
            ++i; // the closing brace
        }
        keys->push_back(node);
    }
    return true;
}

bool CRegObject::parse(const std::wstring& script, std::vector<Node>* roots)
{
    std::vector<std::wstring> tokens;
    if (!tokenize(script, &tokens))
        return false;
    std::size_t i = 0;
    while (i < tokens.size()) {
        Node root;
        if (!replace(textOf(tokens[i]), &root.name) || i + 1 >= tokens.size() || !isWord(tokens[i + 1], L"{"))
            return false;
        i += 2;
        if (!parseKeys(tokens, &i, &root.children) || i >= tokens.size())
            return false;
        ++i;
        roots->push_back(root);
    }
    return true;
}

bool CRegObject::rootKey(const std::wstring& name, HKEY* root, std::wstring* prefix) const
{
    prefix->clear();
    if (_wcsicmp(name.c_str(), L"HKCR") == 0 || _wcsicmp(name.c_str(), L"HKEY_CLASSES_ROOT") == 0) {
        *root = m_perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        *prefix = L"Software\\Classes";
        return true;
    }
    if (_wcsicmp(name.c_str(), L"HKCU") == 0 || _wcsicmp(name.c_str(), L"HKEY_CURRENT_USER") == 0) {
        *root = HKEY_CURRENT_USER;
        return true;
    }
    if (_wcsicmp(name.c_str(), L"HKLM") == 0 || _wcsicmp(name.c_str(), L"HKEY_LOCAL_MACHINE") == 0) {
        *root = HKEY_LOCAL_MACHINE;
        return true;
    }
    return false;
}

HRESULT CRegObject::registerKey(HKEY parent, const Node& node)
{
    if (node.flag == Node::Flag::Delete || node.flag == Node::Flag::ForceRemove) {
        const LSTATUS removed = RegDeleteTreeW(parent, node.name.c_str());
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
            return fromStatus(removed);
        if (node.flag == Node::Flag::Delete)
            return S_OK;
    }
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(parent, node.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return fromStatus(status);
    if (node.hasValue)
        status = RegSetValueExW(key, nullptr, 0, node.type, node.data.data(), DWORD(node.data.size()));
    HRESULT result = fromStatus(status);
    for (const Node& child : node.children) {
        if (FAILED(result))
            break;
        if (child.isValue)
            result = fromStatus(RegSetValueExW(key, child.name.c_str(), 0, child.type, child.data.data(),
                                               DWORD(child.data.size())));
        else
            result = registerKey(key, child);
    }
    RegCloseKey(key);
    return result;
}

HRESULT CRegObject::unregisterKey(HKEY parent, const Node& node)
{
    if (node.flag == Node::Flag::Delete)
        return S_OK;
    if (node.flag == Node::Flag::ForceRemove) {
        const LSTATUS removed = RegDeleteTreeW(parent, node.name.c_str());
        return removed == ERROR_FILE_NOT_FOUND ? S_OK : fromStatus(removed);
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, node.name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return S_OK;
    HRESULT result = S_OK;
    for (const Node& child : node.children) {
        if (FAILED(result))
            break;
        if (child.isValue) {
            if (node.flag != Node::Flag::NoRemove)
                RegDeleteValueW(key, child.name.c_str());
        } else {
            result = unregisterKey(key, child);
        }
    }
    DWORD subKeys = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    if (SUCCEEDED(result) && node.flag == Node::Flag::None && subKeys == 0)
        result = fromStatus(RegDeleteTreeW(parent, node.name.c_str()));
    return result;
}

HRESULT CRegObject::run(LPCOLESTR script, bool doRegister)
{
    std::vector<Node> roots;
    if (!script || !parse(script, &roots))
        return DISP_E_EXCEPTION;
    for (const Node& root : roots) {
        HKEY hive = nullptr;
        std::wstring prefix;
        if (!rootKey(root.name, &hive, &prefix))
            return DISP_E_EXCEPTION;
        HKEY base = hive;
        if (!prefix.empty()) {
            const LSTATUS status = doRegister ? RegCreateKeyExW(hive, prefix.c_str(), 0, nullptr, 0,
                                                                KEY_ALL_ACCESS, nullptr, &base, nullptr)
                                              : RegOpenKeyExW(hive, prefix.c_str(), 0, KEY_ALL_ACCESS, &base);
            if (status == ERROR_FILE_NOT_FOUND && !doRegister)
                continue;
            if (status != ERROR_SUCCESS)
                return fromStatus(status);
        }
        HRESULT result = S_OK;
        for (const Node& key : root.children) {
            result = doRegister ? registerKey(base, key) : unregisterKey(base, key);
            if (FAILED(result))
                break;
        }
        if (base != hive)
            RegCloseKey(base);
        if (FAILED(result))
            return result;
    }
    return S_OK;
}

HRESULT CRegObject::StringRegister(LPCOLESTR script)
{
    return run(script, true);
}

HRESULT CRegObject::StringUnregister(LPCOLESTR script)
{
    return run(script, false);
}

HRESULT CRegObject::runResource(HMODULE module, UINT id, LPCOLESTR type, bool doRegister)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(WORD(id)), type);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    if (!bytes)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    const std::wstring script = WideText::fromUtf8(std::string(bytes, SizeofResource(module, resource)));
    return run(script.c_str(), doRegister);
}

HRESULT CRegObject::ResourceRegister(HMODULE module, UINT id, LPCOLESTR type)
{
    return runResource(module, id, type, true);
}

HRESULT CRegObject::ResourceUnregister(HMODULE module, UINT id, LPCOLESTR type)
{
    return runResource(module, id, type, false);
}
