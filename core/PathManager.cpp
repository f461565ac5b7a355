#include "PathManager.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "PlatformConstants.h"
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
    return m_tempDirPath;
}

void PathManager::init()
{
    const QString appData = firstAppDataLocation();
    m_converterPath = PlatformConstants::docToolPath(hasDotNet4());
    Tool::makeDir(appData);

    const QString templatePath = firstAppDataLocation() + "/TempDir";
    m_tempDir = std::make_unique<QTemporaryDir>(templatePath);
    if (m_tempDir->isValid()) {
        m_tempDirPath = m_tempDir->path();
    } else {
        m_tempDirPath = templatePath;
        Tool::makeDir(m_tempDirPath);
    }
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
