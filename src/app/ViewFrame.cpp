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

void ViewFrame::SetImage(const QImage& image) {
    image_ = image;
    update();
}

void ViewFrame::paintEvent(QPaintEvent* event) {
    ++paintCount_;
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), background_);
        if (!image_.isNull()) {
            painter.setClipRect(contentsRect());
            painter.drawImage(contentsRect().topLeft(), image_);
        }
    }
    QFrame::paintEvent(event);
}

}  // namespace kestrune::app
