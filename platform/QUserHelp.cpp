#include "QUserHelp.h"

#include <QMessageBox>
#include <QWidget>

#include "QCustomUI.h"
#include "QUser.h"

QUserHelp::QUserHelp(QWidget* window, QObject* parent)
    : QObject(parent)
    , m_window(window)
{
}

bool QUserHelp::preLogin()
{
    return false;
}

QString QUserHelp::aboutText()
{
    const QMorProduct& product = QUser::Instance()->product();
    const QString name = product.displayName().isEmpty() ? QStringLiteral("Vornex") : product.displayName();
    return QObject::tr("%1\nVersion %2").arg(name, product.version());
}

QString QUserHelp::loginUnavailableText()
{
    return QObject::tr("Accounts are not available in this build.");
}

void QUserHelp::login()
{
    QMessageBox::information(m_window, QObject::tr("Login"), loginUnavailableText());
}

void QUserHelp::showUserWidget(const QPoint& globalPos)
{
    Q_UNUSED(globalPos);
}

void QUserHelp::showRecommendWidget(QWidget* frame)
{
    Q_UNUSED(frame);
}

void QUserHelp::showAboutDialog()
{
    QMessageBox box(m_window);
    box.setWindowTitle(QObject::tr("About"));
    box.setText(aboutText());
    const QPixmap image(QCustomUI::aboutImage());
    if (!image.isNull())
        box.setIconPixmap(image.scaledToWidth(qMin(image.width(), 320), Qt::SmoothTransformation));
    box.exec();
}

void QUserHelp::checkUpdate(bool showResult)
{
    Q_UNUSED(showResult);
}
