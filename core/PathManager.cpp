#include "PathManager.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "PlatformConstants.h"
#include "TempFolder.h"
#include "Tool.h"
#include "WinRegistry.h"

namespace
{
QString firstAppDataLocation()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    return locations.isEmpty() ? QString() : locations.first();
}

// Lowest release number of the .NET Framework 4.5; every later version has a higher one.
const int kDotNet45Release = 378389;
} // namespace

PathManager* PathManager::instance()
{
    static PathManager holder;
    return &holder;
}

PathManager::PathManager()
    : QObject(nullptr)
{
    init();
}

PathManager::~PathManager() = default;

QString PathManager::converterPath() const
{
    return m_converterPath;
}

QString PathManager::tempDir() const
{
    QString folder = TempFolder::path();
    if (folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

void PathManager::init()
{
    const QString appData = firstAppDataLocation();
    m_converterPath = PlatformConstants::docToolPath(hasDotNet4());
    Tool::makeDir(appData);
}

bool PathManager::hasDotNet4()
{
    const WinRegistry settings(PlatformConstants::kDotNet4SetupKey);
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys) {
        if (key.contains("Release")) {
            if (settings.value(key).toInt() >= kDotNet45Release)
                return true;
            continue;
        }
        if (key.contains("Version"))
            return true;
    }
    return false;
}
