#include "BaseTask.h"

BaseTask::BaseTask(QObject* parent)
    : QObject(nullptr)
{
    Q_UNUSED(parent);
}

void BaseTask::run() {}

void BaseTask::cancel() {}
