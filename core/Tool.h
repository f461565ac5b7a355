#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Per-user application-data folder, taken at program load; the log lives under it.
extern QString g_AppDataPath;

// Static helpers shared by every part of the program: quoting for command lines, the log,
// folder creation, temp-file removal, time parsing and the media suffix table.
class Tool : public QObject
{
    Q_OBJECT
public:
    explicit Tool(QObject* parent = nullptr);
    ~Tool() override;

    static QString quote(QString text);
    static QString singleQuote(QString text);
    static QString mediaSuffix(const int& index);
    static int secondsBetween(QString from, QString to);
    static double timeToSeconds(QString text);
    static bool writeLog(const QString& text);
    static bool makeDir(const QString& path);
    static bool removeTempFiles(const QStringList& files, const int& keep);

    // The log file that writeLog appends to.
    static QString logFilePath();
};
