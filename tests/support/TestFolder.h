#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh folder for a test that drives the program: the program's own files go into it
// (TestEnv::isolate) and it is the current folder, where the program keeps its history. When the
// TestFolder goes, the history's writer has written what it was handed, the folder that was current
// before is current again and the folder is removed.
class TestFolder
{
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // Whether the folder was made and is the current one.
    bool isValid() const { return m_dir.isValid() && m_current; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previousCurrent;
    bool m_current = false;
};
