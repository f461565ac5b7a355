#include "TypeLibrary.h"

#include <cwctype>
#include <map>

#include "WideText.h"
#include "WinModule.h"
#include "WinRegistryApi.h"
#include "WinString.h"

struct TypeLibrary::Attributes {
    std::map<std::wstring, std::wstring> values; // attribute name → its argument (or empty)
    bool has(const wchar_t* name) const { return values.count(name) > 0; }
};

namespace
{

// The automation marshaller that Windows registers for dual and automation interfaces.
const wchar_t* const kAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";

class Tokens
{
public:
    explicit Tokens(const std::wstring& text)
    {
        std::size_t i = 0;
        while (i < text.size()) {
            const wchar_t c = text[i];
            if (std::iswspace(c)) {
                ++i;
            } else if (c == L'/' && i + 1 < text.size() && text[i + 1] == L'/') {
                while (i < text.size() && text[i] != L'\n')
                    ++i;
            } else if (c == L'"') {
                const std::size_t end = text.find(L'"', i + 1);
                m_tokens.push_back(text.substr(i, (end == std::wstring::npos ? text.size() : end + 1) - i));
                i = end == std::wstring::npos ? text.size() : end + 1;
            } else if (std::wcschr(L"[](){};,:", c)) {
                m_tokens.push_back(std::wstring(1, c));
                ++i;
            } else {
                std::size_t end = i;
                while (end < text.size() && !std::iswspace(text[end]) &&
                       !std::wcschr(L"[](){};,:\"", text[end]))
                    ++end;
                m_tokens.push_back(text.substr(i, end - i));
                i = end;
            }
        }
    }
    bool atEnd() const { return m_position >= m_tokens.size(); }
    const std::wstring& peek() const
    {
        static const std::wstring none;
        return atEnd() ? none : m_tokens[m_position];
    }
    std::wstring next() { return atEnd() ? std::wstring() : m_tokens[m_position++]; }
    bool accept(const wchar_t* token)
    {
        if (peek() != token)
            return false;
        ++m_position;
        return true;
    }

private:
    std::vector<std::wstring> m_tokens;
    std::size_t m_position = 0;
};

std::wstring unquoted(const std::wstring& token)
{
    return token.size() >= 2 && token.front() == L'"' ? token.substr(1, token.size() - 2) : token;
}

bool readAttributes(Tokens& tokens, std::map<std::wstring, std::wstring>* values)
{
    if (!tokens.accept(L"["))
        return true;
    while (!tokens.accept(L"]")) {
        if (tokens.atEnd())
            return false;
        const std::wstring name = tokens.next();
        std::wstring argument;
        if (tokens.accept(L"(")) {
            while (!tokens.accept(L")")) {
                if (tokens.atEnd())
                    return false;
                argument += unquoted(tokens.next());
            }
        }
        (*values)[name] = argument;
        tokens.accept(L",");
    }
    return true;
}

bool guidOf(const std::wstring& text, GUID* guid)
{
    return GuidText::fromString(L"{" + text + L"}", guid);
}

bool skipStatement(Tokens& tokens)
{
    while (!tokens.accept(L";")) {
        if (tokens.atEnd())
            return false;
        tokens.next();
    }
    return true;
}

// The body of an interface: its methods are not kept; braces are balanced.
bool skipBlock(Tokens& tokens)
{
    if (!tokens.accept(L"{"))
        return false;
    int depth = 1;
    while (depth > 0) {
        if (tokens.atEnd())
            return false;
        const std::wstring token = tokens.next();
        depth += token == L"{" ? 1 : (token == L"}" ? -1 : 0);
    }
    tokens.accept(L";");
    return true;
}

HRESULT fromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

LSTATUS setText(HKEY parent, const std::wstring& subKey, const wchar_t* valueName, const std::wstring& text)
{
    HKEY key = nullptr;
    LSTATUS status =
        RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            DWORD((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

LSTATUS openClasses(bool perUser, bool create, HKEY* classes)
{
    HKEY hive = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    if (create)
        return RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, classes,
                               nullptr);
    return RegOpenKeyExW(hive, L"Software\\Classes", 0, KEY_ALL_ACCESS, classes);
}

} // namespace

bool TypeLibrary::parse(const std::wstring& description)
{
    TypeLibrary result;
    std::map<std::wstring, Interface> declared;
    Tokens tokens(description);
    bool sawLibrary = false;
    while (!tokens.atEnd()) {
        Attributes attributes;
        if (!readAttributes(tokens, &attributes.values))
            return false;
        const std::wstring keyword = tokens.next();
        if (keyword == L"import" || keyword == L"cpp_quote") {
            if (!skipStatement(tokens))
                return false;
        } else if (keyword == L"interface") {
            Interface entry;
            entry.name = tokens.next();
            if (tokens.accept(L":"))
                entry.base = tokens.next();
            if (!attributes.has(L"uuid") || !guidOf(attributes.values[L"uuid"], &entry.iid) ||
                !skipBlock(tokens))
                return false;
            entry.dual = attributes.has(L"dual");
            entry.oleAutomation = attributes.has(L"oleautomation") || entry.dual;
            entry.nonExtensible = attributes.has(L"nonextensible");
            declared[entry.name] = entry;
        } else if (keyword == L"library") {
            result.m_name = tokens.next();
            if (!attributes.has(L"uuid") || !guidOf(attributes.values[L"uuid"], &result.m_libraryId))
                return false;
            const std::wstring version = attributes.has(L"version") ? attributes.values[L"version"] : L"0.0";
            const std::size_t dot = version.find(L'.');
            result.m_major = WORD(std::wcstoul(version.substr(0, dot).c_str(), nullptr, 10));
            result.m_minor =
                dot == std::wstring::npos ? 0 : WORD(std::wcstoul(version.c_str() + dot + 1, nullptr, 10));
            if (!tokens.accept(L"{"))
                return false;
            while (!tokens.accept(L"}")) {
                Attributes inner;
                if (tokens.atEnd() || !readAttributes(tokens, &inner.values))
                    return false;
                const std::wstring word = tokens.next();
                if (word == L"importlib") {
                    if (!tokens.accept(L"("))
                        return false;
                    result.m_imports.push_back(unquoted(tokens.next()));
                    if (!tokens.accept(L")") || !tokens.accept(L";"))
                        return false;
                } else if (word == L"coclass") {
                    CoClass coClass;
                    coClass.name = tokens.next();
                    coClass.creatable = !inner.has(L"noncreatable");
                    if (!inner.has(L"uuid") || !guidOf(inner.values[L"uuid"], &coClass.clsid) ||
                        !tokens.accept(L"{"))
                        return false;
                    while (!tokens.accept(L"}")) {
                        std::map<std::wstring, std::wstring> member;
                        if (tokens.atEnd() || !readAttributes(tokens, &member) ||
                            tokens.next() != L"interface")
                            return false;
                        const std::wstring name = tokens.next();
                        if (member.count(L"default") || coClass.defaultInterface.empty())
                            coClass.defaultInterface = name;
                        if (!tokens.accept(L";"))
                            return false;
                        const auto found = declared.find(name);
                        if (found == declared.end())
                            return false;
                        if (!result.findInterface(found->second.iid))
                            result.m_interfaces.push_back(found->second);
                    }
                    tokens.accept(L";");
                    result.m_coClasses.push_back(coClass);
                } else {
                    return false;
                }
            }
            tokens.accept(L";");
            sawLibrary = true;
        } else {
            return false;
        }
    }
    if (!sawLibrary)
        return false;
    *this = result;
    return true;
}

bool TypeLibrary::load(HMODULE module, UINT index)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(WORD(index)), L"TYPELIB");
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    if (!bytes)
        return false;
    return parse(WideText::fromUtf8(std::string(bytes, SizeofResource(module, resource))));
}

const TypeLibrary::Interface* TypeLibrary::findInterface(REFIID iid) const
{
    for (const Interface& entry : m_interfaces) {
        if (entry.iid == iid)
            return &entry;
    }
    return nullptr;
}

std::wstring TypeLibrary::versionKey() const
{
    return L"TypeLib\\" + GuidText::toString(m_libraryId) + L"\\" + std::to_wstring(m_major) + L"." +
           std::to_wstring(m_minor);
}

HRESULT TypeLibrary::registerLibrary(const std::wstring& modulePath, const std::wstring& helpFolder,
                                     bool perUser) const
{
    HKEY classes = nullptr;
    LSTATUS status = openClasses(perUser, true, &classes);
    if (status != ERROR_SUCCESS)
        return fromStatus(status);
    const std::wstring version = versionKey();
    const std::wstring libraryText = GuidText::toString(m_libraryId);
    const std::wstring versionText = std::to_wstring(m_major) + L"." + std::to_wstring(m_minor);
    status = setText(classes, version, nullptr, m_name);
    if (status == ERROR_SUCCESS)
        status = setText(classes, version + L"\\FLAGS", nullptr, L"0");
    if (status == ERROR_SUCCESS)
        status = setText(classes, version + L"\\0\\win64", nullptr, modulePath);
    if (status == ERROR_SUCCESS)
        status = setText(classes, version + L"\\HELPDIR", nullptr, helpFolder);
    for (const Interface& entry : m_interfaces) {
        if (status != ERROR_SUCCESS || !entry.oleAutomation)
            continue;
        const std::wstring key = L"Interface\\" + GuidText::toString(entry.iid);
        status = setText(classes, key, nullptr, entry.name);
        if (status == ERROR_SUCCESS)
            status = setText(classes, key + L"\\ProxyStubClsid", nullptr, kAutomationProxy);
        if (status == ERROR_SUCCESS)
            status = setText(classes, key + L"\\ProxyStubClsid32", nullptr, kAutomationProxy);
        if (status == ERROR_SUCCESS)
            status = setText(classes, key + L"\\TypeLib", nullptr, libraryText);
        if (status == ERROR_SUCCESS)
            status = setText(classes, key + L"\\TypeLib", L"Version", versionText);
    }
    RegCloseKey(classes);
    return fromStatus(status);
}

HRESULT TypeLibrary::unregisterLibrary(bool perUser) const
{
    HKEY classes = nullptr;
    if (openClasses(perUser, false, &classes) != ERROR_SUCCESS)
        return S_OK;
    LSTATUS status = ERROR_SUCCESS;
    for (const Interface& entry : m_interfaces) {
        const LSTATUS removed =
            RegDeleteTreeW(classes, (L"Interface\\" + GuidText::toString(entry.iid)).c_str());
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
            status = removed;
    }
    const LSTATUS removed = RegDeleteTreeW(classes, versionKey().c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
        status = removed;
    // The library's key goes when no other version is left in it.
    const std::wstring libraryKey = L"TypeLib\\" + GuidText::toString(m_libraryId);
    HKEY library = nullptr;
    if (RegOpenKeyExW(classes, libraryKey.c_str(), 0, KEY_ALL_ACCESS, &library) == ERROR_SUCCESS) {
        DWORD versions = 0;
        RegQueryInfoKeyW(library, nullptr, nullptr, nullptr, &versions, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(library);
        if (versions == 0)
            RegDeleteKeyW(classes, libraryKey.c_str());
    }
    RegCloseKey(classes);
    return fromStatus(status);
}
