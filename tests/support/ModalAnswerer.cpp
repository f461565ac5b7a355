#include "ModalAnswerer.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

ModalAnswerer::ModalAnswerer(Answer answer, QObject* parent)
    : QObject(parent)
    , m_answer(std::move(answer))
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start(20);
}

ModalAnswerer::Answer ModalAnswerer::clickButton(const QString& objectName)
{
    return [objectName](QWidget* dialog) {
        auto* button = dialog->findChild<QPushButton*>(objectName);
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
    };
}

ModalAnswerer::Answer ModalAnswerer::chooseFolder(const QString& folder)
{
    return [folder](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files)
            return;
        // Opened in the folder with nothing typed, the dialog answers that folder.
        files->setDirectory(folder);
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit"))
            name->clear();
        QMetaObject::invokeMethod(files, "accept");
    };
}

ModalAnswerer::Answer ModalAnswerer::reject()
{
    return [](QWidget* dialog) {
        if (auto* asDialog = qobject_cast<QDialog*>(dialog))
            asDialog->reject();
    };
}

void ModalAnswerer::poll()
{
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog == m_last || !dialog->isVisible())
        return;
    m_last = dialog;
    QStringList labels;
    const QList<QLabel*> children = dialog->findChildren<QLabel*>();
    for (const QLabel* label : children) {
        if (!label->text().isEmpty())
            labels << label->text();
    }
    m_texts << labels.join('|');
    m_answer(dialog);
}
