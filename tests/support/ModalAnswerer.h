#pragma once

#include <functional>

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QWidget;

// Answers the modal dialogs that the code under test opens, so that no test waits on one: while it
// lives, every new modal dialog has its label texts recorded and is then answered by `answer`
// (for example a click on one of its buttons).
class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswerer(Answer answer, QObject* parent = nullptr);

    // An answer that clicks the dialog's push button with this object name.
    static Answer clickButton(const QString& objectName);
    // An answer that chooses `folder` in a folder dialog (a QFileDialog) and accepts it.
    static Answer chooseFolder(const QString& folder);
    // An answer that rejects the dialog (a QDialog), like its close button.
    static Answer reject();

    int answered() const { return m_texts.size(); }
    // The texts of the labels of each answered dialog, joined by "|", in the order answered.
    QStringList texts() const { return m_texts; }

private:
    void poll();

    Answer m_answer;
    QTimer m_timer;
    QPointer<QWidget> m_last;
    QStringList m_texts;
};
