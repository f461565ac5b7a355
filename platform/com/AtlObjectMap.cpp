#include "AtlObjectMap.h"

#include <cstring>

#include "CComClassFactory.h"
#include "CComCreator.h"
#include "CComObjectCached.h"

void AtlObjectMap::add(const Entry& entry)
{
    entries().push_back(entry);
}

std::vector<AtlObjectMap::Entry>& AtlObjectMap::entries()
{
    static std::vector<Entry> s_entries;
    return s_entries;
}

HRESULT AtlObjectMap::getClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (Entry& entry : entries()) {
        if (*entry.clsid != clsid)
            continue;
        if (!entry.factory) {
            void* created = nullptr;
            const HRESULT made = CComCreator<CComObjectCached<CComClassFactory>>::CreateInstance(
                nullptr, IID_IClassFactory, &created);
            if (FAILED(made))
                return made;
            IClassFactory* factory = static_cast<IClassFactory*>(created);
            void* creator = nullptr;
            static_assert(sizeof(creator) == sizeof(entry.createInstance), "function pointers fit a pointer");
            std::memcpy(&creator, &entry.createInstance, sizeof(creator));
            static_cast<CComClassFactory*>(factory)->SetVoid(creator);
            entry.factory = factory;
        }
        return entry.factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

void AtlObjectMap::releaseFactories()
{
    for (Entry& entry : entries()) {
        if (entry.factory)
            entry.factory->Release();
        entry.factory = nullptr;
    }
}
