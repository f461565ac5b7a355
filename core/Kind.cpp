#include "Kind.h"

QString Kind::historyKey(int kind)
{
    static const char* const keys[Count] = {"video", "image", "ppt", "pdf", "word"};
    return isKind(kind) ? QString(keys[kind]) : QString();
}
