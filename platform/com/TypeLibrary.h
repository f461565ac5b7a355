#pragma once

#include <string>
#include <vector>

#include "Guid.h"

// A type library: the library's id, version and name, its interfaces and its classes, read from a
// module's "TYPELIB" resource, which carries the library's description in the interface
// definition language (attributes in brackets, "interface", "library", "coclass", "importlib").
// Registering it writes what Windows writes for a type library: TypeLib\{id}\major.minor with the
// name, FLAGS, 0\win64 (the module's path) and HELPDIR (its folder), and for each dual or
// automation interface Interface\{iid} with its name, the automation proxy class and the library.
class TypeLibrary
{
public:
    struct Interface {
        IID iid = {};
        std::wstring name;
        std::wstring base;
        bool dual = false;
        bool oleAutomation = false;
        bool nonExtensible = false;
    };
    struct CoClass {
        CLSID clsid = {};
        std::wstring name;
        std::wstring defaultInterface;
        bool creatable = true;
    };

    // Parses a description; false (and nothing kept) on text it does not understand.
    bool parse(const std::wstring& description);
    // Reads the module's TYPELIB resource of that number.
    bool load(HMODULE module, UINT index);

    const GUID& libraryId() const { return m_libraryId; }
    const std::wstring& name() const { return m_name; }
    WORD majorVersion() const { return m_major; }
    WORD minorVersion() const { return m_minor; }
    const std::vector<std::wstring>& imports() const { return m_imports; }
    const std::vector<Interface>& interfaces() const { return m_interfaces; }
    const std::vector<CoClass>& coClasses() const { return m_coClasses; }
    const Interface* findInterface(REFIID iid) const;

    // Per user the keys go under HKEY_CURRENT_USER\Software\Classes, else under the machine's.
    HRESULT registerLibrary(const std::wstring& modulePath, const std::wstring& helpFolder,
                            bool perUser) const;
    HRESULT unregisterLibrary(bool perUser) const;

private:
    struct Attributes;
    std::wstring versionKey() const;

    GUID m_libraryId = {};
    std::wstring m_name;
    WORD m_major = 0;
    WORD m_minor = 0;
    std::vector<std::wstring> m_imports;
    std::vector<Interface> m_interfaces;
    std::vector<CoClass> m_coClasses;
};
