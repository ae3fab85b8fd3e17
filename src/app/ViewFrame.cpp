#include "app/ViewFrame.h"

#include <QPainter>

namespace kestrune::app {

ViewFrame::ViewFrame(const QColor& background, QWidget* parent)
    : QFrame(parent), background_(background) {
    setFrameStyle(QFrame::Box | QFrame::Sunken);  // the etched look
    setLineWidth(1);
}

void ViewFrame::SetBackground(const QColor& background) {
    background_ = background;
    update();
}

void ViewFrame::paintEvent(QPaintEvent* event) {
    ++paintCount_;
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), background_);
    }
    QFrame::paintEvent(event);
}

}  // namespace kestrune::app
