#pragma once

#include <map>
#include <string>
#include <vector>

#include "ComTypes.h"

// The registrar: applies a registry script in the registrar's syntax to the registry.
//
//   HKCR { NoRemove CLSID { ForceRemove {id} = s 'text' { InprocServer32 = s '%MODULE%' {
//       val ThreadingModel = s 'Apartment' } } } }
//
// Tokens are separated by white space; texts are quoted with ' (two quotes inside stand for one);
// %NAME% is replaced by the replacement of that name and %% by %. Values are s (text), d (number)
// or b (hexadecimal bytes). Registration makes every key and value, deleting a ForceRemove key with
// its subkeys first; unregistration deletes ForceRemove keys with their subkeys, keeps NoRemove
// keys, and deletes a plain key once it holds no subkeys. Per user, HKCR stands for
// HKEY_CURRENT_USER\Software\Classes, else for HKEY_LOCAL_MACHINE\Software\Classes.
class CRegObject
{
public:
    CRegObject();
    ~CRegObject();

    HRESULT AddReplacement(LPCOLESTR key, LPCOLESTR item);
    HRESULT ClearReplacements();
    void setPerUser(bool perUser) { m_perUser = perUser; }

    HRESULT StringRegister(LPCOLESTR script);
    HRESULT StringUnregister(LPCOLESTR script);
    // The script is the module's resource of that number and type (a UTF-8 text).
    HRESULT ResourceRegister(HMODULE module, UINT id, LPCOLESTR type);
    HRESULT ResourceUnregister(HMODULE module, UINT id, LPCOLESTR type);

private:
    struct Node;
    HRESULT run(LPCOLESTR script, bool doRegister);
    HRESULT runResource(HMODULE module, UINT id, LPCOLESTR type, bool doRegister);
    bool parse(const std::wstring& script, std::vector<Node>* roots);
    bool parseKeys(std::vector<std::wstring>& tokens, std::size_t* position, std::vector<Node>* keys);
    bool replace(const std::wstring& text, std::wstring* result) const;
    HRESULT registerKey(HKEY parent, const Node& node);
    HRESULT unregisterKey(HKEY parent, const Node& node);
    bool rootKey(const std::wstring& name, HKEY* root, std::wstring* prefix) const;

    std::map<std::wstring, std::wstring> m_replacements;
    bool m_perUser = false;
};
