#pragma once

#include <QString>
#include <QStringList>

// The entries through which Linux file managers reach the context-menu extension. Registration
// writes, for the current user or for the machine:
// - an "Open With" desktop entry (applications/vornex-open.desktop, NoDisplay, the eleven types),
//   then refreshes that folder's MIME cache;
// - top-level entries "用Vornex打开" for one selected file with one of the eleven suffixes:
//   Dolphin (kio/servicemenus), Nemo (nemo/actions), Caja and PCManFM (file-manager/actions),
//   Thunar (an action merged into Thunar/uca.xml) and GNOME Files (a nautilus-python extension);
// each runs the host on the selection, which lets the extension itself decide. Unregistration
// removes exactly what registration added: its own files, its Thunar action, and the folders and
// files it had to create (kept in a list in the registry's state folder).
class DesktopIntegration
{
public:
    DesktopIntegration(bool perUser, const QString& hostProgram);

    bool install(QString* error);
    bool remove(QString* error);

    QString dataFolder() const { return m_dataFolder; }
    QString configFolder() const { return m_configFolder; }
    // The files registration writes (the Thunar list is merged, not owned).
    QStringList ownFiles() const;
    QString thunarList() const;

    static const QStringList& mimeTypes();
    static const QStringList& suffixes();
    static QString entryText();

private:
    QString invokeCommand(const QString& pathCode) const;
    QString openWithEntry() const;
    QString dolphinEntry() const;
    QString nemoAction() const;
    QString fileManagerAction() const;
    QString thunarAction() const;
    QString nautilusExtension() const;

    bool writeOwnFile(const QString& path, const QString& content, bool executable, QString* error);
    bool mergeThunarAction(QString* error);
    bool removeThunarAction(QString* error);
    bool makeFolder(const QString& folder, QString* error);
    void refreshMimeCache();

    QString manifestPath() const;
    QStringList readManifest() const;
    bool writeManifest(const QStringList& lines) const;
    void note(const QString& line);

    bool m_perUser;
    QString m_hostProgram;
    QString m_dataFolder;
    QString m_configFolder;
    QStringList m_manifest;
};
