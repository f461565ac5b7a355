#include "PressFrame.h"

#include "FormScaling.h"
#include "ui_PressFrame.h"

namespace
{
// The lift is a plain pixel count: the tile moves the same distance at every display factor.
const int kLift = 3;
} // namespace

PressFrame::PressFrame(QWidget* parent)
    : QFrame(parent)
    , m_ui(new Ui::PressFrame)
{
    m_ui->setupUi(this);
    scaleFormPixels(this);
}

PressFrame::~PressFrame() = default;

void PressFrame::mousePressEvent(QMouseEvent*)
{
    // The press stays accepted here: a click on a tile is the tile's, not its page's.
    emit sig_MousePressd();
}

void PressFrame::enterEvent(QEvent*)
{
    move(x(), y() - kLift);
}

void PressFrame::leaveEvent(QEvent*)
{
    move(x(), y() + kLift);
}
