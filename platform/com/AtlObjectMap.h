#pragma once

#include <vector>

#include "Guid.h"

class IClassFactory;

// The object map of a module: one entry per creatable class, with its class id, its registry step,
// its creator and the class factory that the module makes for it once and keeps.
class AtlObjectMap
{
public:
    struct Entry {
        const CLSID* clsid;
        HRESULT (*updateRegistry)(BOOL doRegister);
        HRESULT (*createInstance)(void* outer, REFIID iid, void** object);
        IClassFactory* factory;
    };

    static void add(const Entry& entry);
    static std::vector<Entry>& entries();
    static HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** object);
    // Releases the kept class factories (at unload).
    static void releaseFactories();
};

template <class T> class AtlObjectMapEntry
{
public:
    AtlObjectMapEntry()
    {
        AtlObjectMap::add(
            {&T::GetObjectCLSID(), &T::UpdateRegistry, &T::_CreatorClass::CreateInstance, nullptr});
    }
};

// Adds a class to the module's object map when the library loads.
#define OBJECT_ENTRY_AUTO(clsid, Class) static AtlObjectMapEntry<Class> s_objectMapEntry##Class;
