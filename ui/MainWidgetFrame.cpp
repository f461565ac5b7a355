// The frame of the main window: the painted panel, dragging and maximising through the title strip,
// the menu, the account display, the history toggle, the output folder and the confirmed close.
#include "MainWidget.h"

#include <memory>

#include <QCloseEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "AccountNotices.h"
#include "LogNotice.h"
#include "QCommonMethod.h"
#include "QToolTipWidget.h"
#include "QUser.h"
#include "RunningTools.h"
#include "TempFolder.h"
#include "Tool.h"

namespace
{

// One main window per process: the drag state of its title strip and the click state of its user
// frame.
bool g_titlePressed = false;
QPoint g_titleLastPos;
bool g_userFramePressed = false;

} // namespace

void MainWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath panel;
    panel.setFillRule(Qt::WindingFill);
    panel.addRoundedRect(QRectF(8, 8, width() - 16, height() - 16), 2, 2);
    painter.fillPath(panel, QBrush(Qt::white));
    for (int i = 0; i < 8; ++i) {
        QPainterPath edge;
        edge.setFillRule(Qt::WindingFill);
        edge.addRoundedRect(QRectF(8 - i, 8 - i, width() - 2 * (8 - i), height() - 2 * (8 - i)), i + 2,
                            i + 2);
        painter.setPen(QColor(0, 0, 0, qMax(0, 20 - 5 * i)));
        painter.drawPath(edge);
    }
}

bool MainWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.frameUser)
        userFrameEvent(event);
    else if (watched == ui.frameTitle)
        titleFrameEvent(event);
    return QObject::eventFilter(watched, event);
}

void MainWidget::titleFrameEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        slot_resizeWindow();
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            g_titlePressed = true;
            g_titleLastPos = mouse->globalPos();
        }
        break;
    }
    case QEvent::MouseMove:
        if (g_titlePressed) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            move(geometry().topLeft() + mouse->globalPos() - g_titleLastPos);
            g_titleLastPos = mouse->globalPos();
        }
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            g_titlePressed = false;
        break;
    default:
        break;
    }
}

void MainWidget::userFrameEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            g_userFramePressed = true;
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && g_userFramePressed) {
            g_userFramePressed = false;
            slot_login();
        }
        break;
    case QEvent::HoverEnter:
    case QEvent::Enter:
        ui.labelNickname->setStyleSheet("color: #3A53D2;border-color: #3A53D2;");
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        ui.labelNickname->setStyleSheet("color: #2D2D2D;border-color: #2D2D2D;");
        break;
    default:
        break;
    }
}

void MainWidget::slot_resizeWindow()
{
    if (isMaximized()) {
        ui.horizontalLayout_30->setContentsMargins(8, 8, 8, 8);
        ui.btnMax->setToolTip(tr("最大化"));
        showNormal();
    } else {
        ui.horizontalLayout_30->setContentsMargins(0, 0, 0, 0);
        ui.btnMax->setToolTip(tr("向下还原"));
        showMaximized();
    }
}

void MainWidget::initMenu()
{
    m_menu = new QMenu(this);
    const struct {
        const char* text;
        std::function<void()> action;
    } entries[] = {
        {"使用教程", [] { QCommonMethod::openUrl("tutorial", ""); }},
        {"产品官网", [] { QCommonMethod::openUrl("home", ""); }},
        {"关于我们", [this] { m_userHelp.showAboutDialog(); }},
        {"检查更新", [this] { m_userHelp.checkUpdate(true); }},
    };
    for (const auto& entry : entries) {
        auto* action = new QAction(tr(entry.text), this);
        connect(action, &QAction::triggered, this, entry.action);
        m_menu->addAction(action);
    }
}

void MainWidget::installAccountNotices()
{
    // What the account library cannot do here, it says in the program's own message dialog.
    AccountNotices::setHandler([](const QString& headline, const QString& body) {
        auto dialog = std::make_shared<QToolTipWidget>();
        dialog->setBtnOpera1(tr("确定"), true);
        dialog->setBtnOpera2(tr("取消"), false);
        dialog->setTipText1(headline);
        dialog->setTipText2(body, Qt::AlignLeft);
        dialog->execForeground();
    });
}

void MainWidget::installLogNotice()
{
    // The log is written from the workers too: the report comes to this thread queued.
    connect(&LogNotice::instance(), &LogNotice::logUnwritable, this, &MainWidget::showLogNotice,
            Qt::QueuedConnection);
    QString logPath;
    QString reason;
    if (LogNotice::instance().failure(&logPath, &reason))
        QMetaObject::invokeMethod(
            this, [this, logPath, reason] { showLogNotice(logPath, reason); }, Qt::QueuedConnection);
}

void MainWidget::showLogNotice(const QString& logPath, const QString& reason)
{
    if (!LogNotice::instance().claimShowing())
        return;
    auto dialog = std::make_shared<QToolTipWidget>();
    dialog->setTitle(tr("提示"));
    dialog->setBtnOpera1(tr("确定"), true);
    dialog->setBtnOpera2(tr("取消"), false);
    dialog->setTipText1(tr("日志无法写入"));
    dialog->setTipText2(tr("无法写入日志文件 %1（%2），压缩结果可能无法记录。").arg(logPath, reason),
                        Qt::AlignLeft);
    dialog->execForeground();
}

void MainWidget::slot_login()
{
    if (QUser::Instance()->isLoggedIn()) {
        QPoint point = pos() + ui.btnLogin->pos();
        point.ry() += ui.frameTitle->height();
        m_userHelp.showUserWidget(point);
    } else {
        m_userHelp.login();
    }
}

void MainWidget::slot_setUserName(QString userName)
{
    ui.labelNickname->setText(userName);
}

void MainWidget::slot_setAvatar(QPixmap pix)
{
    if (!pix.save("avatar.png", nullptr, 100))
        Tool::writeLog("set avatar fail");
    ui.frameUser->show();
    ui.btnLogin->hide();
    ui.labelAvatar->setPixmap(pix);
}

void MainWidget::slot_logout()
{
    ui.btnLogin->show();
    ui.frameUser->hide();
}

void MainWidget::slot_customer()
{
    QCommonMethod::openUrl("chatwithus", "");
}

void MainWidget::slot_showHistory()
{
    if (!m_historyWidget.isHidden()) {
        m_historyWidget.hide();
        return;
    }
    m_historyWidget.show();
    m_historyWidget.showHistory(m_kind, "history.json");
}

void MainWidget::slot_changeOutputDir()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("选择文件夹"), m_lastDir, QFileDialog::ShowDirsOnly);
    // A cancelled dialog keeps the folder chosen before; a lone "/" would be taken as a folder.
    if (folder.isEmpty())
        return;
    const QString text = folder.endsWith('/') ? folder : folder + "/";
    ui.labelPath->setText(text);
    ui.labelPath->setToolTip(text);
    ui.labelPath->repaint();
    // The shown kind's own folder: its next start writes every file there.
    saveKindSettings(m_kind);
}

void MainWidget::slot_closeProgram()
{
    // A second request while the question is open (the window system's close, a shortcut) waits
    // for the answer to the first.
    if (m_closeAsked || m_closeConfirmed)
        return;
    m_closeAsked = true;
    auto dialog = std::make_shared<QToolTipWidget>();
    dialog->setBtnOpera1(tr("确定"), true);
    dialog->setBtnOpera2(tr("取消"), true);
    dialog->setTipText1(tr("关闭应用"));
    dialog->setTipText2(tr("软件结束后将结束当前工作进程，确定要退出吗？"), Qt::AlignLeft);
    connect(dialog.get(), &QToolTipWidget::signal_opera1, this, &MainWidget::cleanUpForClose);
    dialog->execForeground();
    m_closeAsked = false;
}

void MainWidget::cleanUpForClose()
{
    m_closeConfirmed = true;
    // The running work ends now, and only this program's own intermediate files go.
    RunningTools::endAll();
    if (!TempFolder::remove())
        Tool::writeLog("rm  temp dir fail");
    if (!m_historyWidget.close())
        Tool::writeLog("write history widget fail");
    if (!close())
        Tool::writeLog("write main widget fail");
}

void MainWidget::closeEvent(QCloseEvent* event)
{
    if (m_closeConfirmed) {
        event->accept();
        return;
    }
    // Every close asks the same question as the close button and cleans up the same way; the
    // question waits for this close to end, because a close made while one is under way is dropped.
    event->ignore();
    QTimer::singleShot(0, this, &MainWidget::slot_closeProgram);
}
