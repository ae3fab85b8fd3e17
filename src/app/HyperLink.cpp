#include "app/HyperLink.h"

#include <QDesktopServices>
#include <QEvent>
#include <QMouseEvent>
#include <QUrl>

namespace kestrune::app {

bool DesktopUrlOpener::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

DesktopUrlOpener& DesktopUrlOpener::Instance() {
    static DesktopUrlOpener opener;
    return opener;
}

CHyperLink::CHyperLink(const QString& text, QWidget* parent, UrlOpener* opener)
    : QLabel(text, parent), opener_(opener != nullptr ? *opener : DesktopUrlOpener::Instance()) {
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    setToolTip(URL());
    ApplyLook();
}

void CHyperLink::SetURL(const QString& url) {
    url_ = url;
    if (text().isEmpty()) setText(url_);
    setToolTip(URL());
    FitToText();
}

QString CHyperLink::URL() const {
    return url_.isEmpty() ? text() : url_;
}

void CHyperLink::SetUnderline(bool underline) {
    underline_ = underline;
    ApplyLook();
}

void CHyperLink::SetVisited(bool visited) {
    visited_ = visited;
    ApplyLook();
}

void CHyperLink::SetAdjustToFit(bool adjust) {
    adjustToFit_ = adjust;
    FitToText();
}

QColor CHyperLink::TextColor() const {
    return QColor(visited_ ? kVisitedColor : kLinkColor);
}

void CHyperLink::Follow() {
    SetVisited(true);
    GotoURL(URL(), opener_);
}

bool CHyperLink::GotoURL(const QString& target, UrlOpener& opener) {
    // A bare address opens like a link typed by hand: "example.org" as a web
    // page, "mailto:..." by the mail program.
    const QUrl url = QUrl::fromUserInput(target);
    if (!url.isValid()) return false;
    return opener.OpenUrl(url);
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a press and a release over the link, as with a button.
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        event->accept();
        if (rect().contains(event->position().toPoint())) Follow();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // The window's font reaches the link later than its text: fit again.
    if (event->type() == QEvent::FontChange) FitToText();
}

void CHyperLink::ApplyLook() {
    // Only the underline is the link's own; family and size stay the window's.
    QFont linkFont;
    linkFont.setUnderline(underline_);
    setFont(linkFont);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, TextColor());
    setPalette(colors);
    FitToText();
    update();
}

void CHyperLink::FitToText() {
    if (adjustToFit_) resize(sizeHint());
}

}  // namespace kestrune::app
