#include "VideoStream.h"

#include <QByteArray>
#include <QFile>

int VideoStream::crfOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    const int at = bytes.indexOf("crf=");
    if (at < 0)
        return -1;
    const int end = bytes.indexOf('.', at);
    bool ok = false;
    const int crf = bytes.mid(at + 4, end - at - 4).toInt(&ok);
    return ok ? crf : -1;
}
