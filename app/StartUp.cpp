#include "StartUp.h"

#include <clocale>
#include <thread>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMetaType>

#include "CGlobal.h"
#include "DpiScale.h"
#include "MainWidget.h"
#include "QHttpClient.h"
#include "QMorProduct.h"
#include "QUser.h"
#include "QValue.h"
#include "ThreadPool.h"

namespace {
// Text conversions and the MediaInfo reader need a UTF-8 character type even when the program is
// started without a locale.
void ensureUtf8CharacterType()
{
    const char* current = std::setlocale(LC_CTYPE, "");
    const QByteArray name = current ? QByteArray(current).toLower() : QByteArray();
    if (!name.contains("utf-8") && !name.contains("utf8"))
        std::setlocale(LC_CTYPE, "C.UTF-8");
}
} // namespace

int StartUp::workerCount(int hardwareThreads)
{
    return ThreadPool::workerCountFor(hardwareThreads);
}

void StartUp::applyCommandLine(MainWidget& window, int argc, char** argv)
{
    if (argc <= 1)
        return;
    const QString argument = QString::fromLocal8Bit(argv[1]);
    if (argument == "--video") {
        window.showKindPage(1);
    } else if (argument == "--image") {
        window.showKindPage(2);
    } else if (argument == "--pdf") {
        window.showKindPage(3);
    } else {
        QString path = QString::fromLocal8Bit(argv[1]);
        path.remove('"');
        if (QFile::exists(path))
            window.openFile(path);
        else
            window.show();
    }
}

int StartUp::run(int argc, char** argv)
{
    QApplication app(argc, argv);
    // After the application object: its constructor takes the locale from the environment again.
    ensureUtf8CharacterType();
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QValue>("QValue");
    CGlobal::init();
    initDpiScale();
    QHttpClient::Instance()->start(3);
    QUser::Instance()->init();
    CGlobal::setAppTitle("Vornex");
    ThreadPool::instance()->start(workerCount(int(std::thread::hardware_concurrency())));
    {
        QMorProduct product(11, "vornix_win", "Vornex", "2.0.0.4");
        QUser::Instance()->setProduct(product);
    }
    MainWidget window;
    window.setWindowTitle(QObject::tr("Vornex"));
    window.setWindowIcon(QIcon(":/Images/logo.png"));
    applyCommandLine(window, argc, argv);
    window.show();
    const int exitCode = app.exec();
    QHttpClient::Instance()->close();
    CGlobal::release();
    ThreadPool::instance()->stop();
    return exitCode;
}
