#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include "Guid.h"
#include "IContextMenu.h"

// Plays the file manager's part for the registered context-menu handlers: finds the handlers of
// a selection in the registry (files: HKCR\*, folders: HKCR\directory, ShellEx\ContextMenuHandlers),
// loads each through its class id (CLSID\{id}\InprocServer32 → library → DllGetClassObject), hands
// it the selection as CF_HDROP data, asks it for its menu entries and runs the chosen one.
class ContextMenuHost
{
public:
    struct Entry {
        QString text;
        UINT id = 0;
        int handler = -1; // index into the loaded handlers
    };

    ContextMenuHost();
    ~ContextMenuHost();
    ContextMenuHost(const ContextMenuHost&) = delete;
    ContextMenuHost& operator=(const ContextMenuHost&) = delete;

    // The class ids of the handlers registered for the selection.
    static QList<CLSID> handlersFor(const QStringList& paths);
    // The library registered for a class id, or empty.
    static QString inprocServer(const CLSID& clsid);

    // Creates an object of the class through its library, which stays loaded while this host lives.
    HRESULT createObject(const QString& libraryPath, const CLSID& clsid, REFIID iid, void** object);
    // Loads the selection's handlers and builds the menu from them; the entries in menu order.
    QVector<Entry> buildMenu(const QStringList& paths);
    // Builds the menu and runs the entry with that text. False (with the reason) when there is none.
    bool invoke(const QStringList& paths, const QString& entryText, QString* reason);

private:
    struct Handler {
        IContextMenu* menu = nullptr;
        UINT firstId = 0;
    };
    void releaseHandlers();

    QVector<Handler> m_handlers;
    QVector<HMODULE> m_modules;
    HMENU m_menu = nullptr;
};
