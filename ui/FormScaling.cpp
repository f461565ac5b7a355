#include "FormScaling.h"

#include <QLayout>
#include <QWidget>

#include "DpiScale.h"

namespace
{

int scaledLength(int px)
{
    if (px <= 0 || px >= QWIDGETSIZE_MAX)
        return px;
    return scalePixels(px);
}

QSize scaledSize(const QSize& size)
{
    return QSize(scaledLength(size.width()), scaledLength(size.height()));
}

bool layoutHolds(const QLayout* layout, const QWidget* widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget)
            return true;
        if (item->layout() && layoutHolds(item->layout(), widget))
            return true;
    }
    return false;
}

// A widget of the form placed at a geometry of its own rather than by its parent's layout.
bool hasFreeGeometry(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    if (!parent)
        return false;
    const QLayout* layout = parent->layout();
    return !layout || !layoutHolds(layout, widget);
}

// Qt's own inner widgets (viewports, scroll bars) are laid out by their owners, not by the form.
bool isFormWidget(const QWidget* widget)
{
    const QString name = widget->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

void scaleWidget(QWidget* widget)
{
    const QRect geometry = widget->geometry();
    const bool free = hasFreeGeometry(widget);
    widget->setMinimumSize(scaledSize(widget->minimumSize()));
    widget->setMaximumSize(scaledSize(widget->maximumSize()));
    if (free) {
        const QPoint topLeft(scaledLength(geometry.x()), scaledLength(geometry.y()));
        widget->setGeometry(QRect(topLeft, scaledSize(geometry.size())));
    }
}

} // namespace

void scaleFormPixels(QWidget* form)
{
    if (!form)
        return;
    const QSize formSize = form->size();
    form->setMinimumSize(scaledSize(form->minimumSize()));
    form->setMaximumSize(scaledSize(form->maximumSize()));
    form->resize(scaledSize(formSize));
    const QList<QWidget*> children = form->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (isFormWidget(child) && !child->isWindow())
            scaleWidget(child);
    }
}
