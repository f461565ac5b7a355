#include "StartUp.h"

#include <clocale>
#include <langinfo.h>
#include <thread>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMetaType>
#include <QTextCodec>

#include "CGlobal.h"
#include "DpiScale.h"
#include "FontFallbacks.h"
#include "MainWidget.h"
#include "QHttpClient.h"
#include "QMorProduct.h"
#include "QUser.h"
#include "QValue.h"
#include "RunningTools.h"
#include "ThreadPool.h"
#include "WindowsLookStyle.h"

void StartUp::ensureTextLocale()
{
    // Started without a locale (C/POSIX), the character type is ASCII: file names and the history
    // would lose every non-ASCII character. Take UTF-8 then, for the C library and for Qt's
    // local 8-bit text alike. A locale the user chose (UTF-8, GBK, ...) stays as it is.
    std::setlocale(LC_CTYPE, "");
    const QByteArray codeset = QByteArray(nl_langinfo(CODESET)).toUpper();
    if (codeset != "ANSI_X3.4-1968" && codeset != "ASCII" && codeset != "US-ASCII")
        return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        return;
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

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
        window.showKindPage(MainWidget::VideoPage);
    } else if (argument == "--image") {
        window.showKindPage(MainWidget::ImagePage);
    } else if (argument == "--pdf") {
        window.showKindPage(MainWidget::PdfPage);
    } else {
        const QString path = commandLinePath(QString::fromLocal8Bit(argv[1]));
        if (QFile::exists(path))
            window.openFile(path);
        else
            window.show();
    }
}

QString StartUp::commandLinePath(const QString& argument)
{
    // A double quote is legal in a file name: the quotes of the context-menu entry are only the
    // ones around the whole path.
    if (QFile::exists(argument))
        return argument;
    if (argument.size() >= 2 && argument.startsWith('"') && argument.endsWith('"')) {
        const QString unquoted = argument.mid(1, argument.size() - 2);
        if (QFile::exists(unquoted))
            return unquoted;
    }
    QString path = argument;
    path.remove('"');
    return path;
}

int StartUp::run(int argc, char** argv)
{
    QApplication app(argc, argv);
    installFontFallbacks();
    WindowsLookStyle::install();
    // After the application object: its constructor takes the locale from the environment again.
    ensureTextLocale();
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
    // Whatever still runs is ended now, on the GUI thread and on the pool's workers alike, so that
    // stopping the pool does not wait for a page range.
    RunningTools::endAll();
    ThreadPool::instance()->stop();
    return exitCode;
}
