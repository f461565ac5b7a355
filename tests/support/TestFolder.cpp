#include "TestFolder.h"

#include <QDir>

#include "HistoryWriter.h"
#include "TestEnv.h"

TestFolder::TestFolder()
    : m_previousCurrent(QDir::currentPath())
{
    if (!m_dir.isValid())
        return;
    TestEnv::isolate(m_dir);
    m_current = QDir::setCurrent(m_dir.path());
}

TestFolder::~TestFolder()
{
    // The history's writer finishes what was handed in for this folder while the folder is there.
    HistoryWriter::instance().flush();
    // Runs before m_dir removes the folder: the process never stands in a folder that is gone.
    if (m_current)
        QDir::setCurrent(m_previousCurrent);
}
