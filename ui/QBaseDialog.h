#pragma once

#include <QDialog>
#include <QPoint>

class QVariant;

// Base of the program's modal dialogs: a frameless, translucent tool window with a drop shadow,
// styled by a sheet of the resource bundle, dragged with the left button anywhere on its surface,
// closed by Escape (reject) and Return/Enter (accept).
class QBaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QBaseDialog(QWidget* parent = nullptr);

    // The set-up every derived dialog runs once from its constructor, after building its form.
    virtual void initDialog(const QString& cssPath);
    virtual void loadStyleSheet(const QString& cssPath);
    virtual void escapePressed();
    virtual void enterPressed();
    virtual void emptyHook();

    // Brings the dialog to the front, then runs it modally.
    int execForeground();
    // Runs the dialog modally over the middle of its parent (where the window system puts it when
    // it has none).
    int execCentered();
    // Sets a dynamic property and polishes the widget again, so sheet rules on the property apply.
    void setWidgetProperty(QWidget* widget, const char* name, const QVariant& value);

public slots:
    void onClose();
    void onOK();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPoint m_dragOffset;
    bool m_pressed;
};
