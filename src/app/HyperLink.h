#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

class QUrl;

namespace kestrune::app {

/** Hands a link target to the desktop. Tests stand in for the desktop. */
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    /** True when a handler took the target. */
    virtual bool OpenUrl(const QUrl& url) = 0;
};

/** The desktop's default handler (QDesktopServices). */
class DesktopUrlOpener final : public UrlOpener {
  public:
    bool OpenUrl(const QUrl& url) override;
    /** One shared instance for links that are given no opener. */
    static DesktopUrlOpener& Instance();
};

/** The contact address of the program and its link target. */
inline const QString kContactAddress = QStringLiteral("kestrune@example.org");
inline const QString kContactUrl = QStringLiteral("mailto:kestrune@example.org");

/**
 * A static text that opens its target when clicked: blue (0, 0, 255) until
 * the first click, then purple (85, 26, 139) for good. A pointing hand over
 * it; the tooltip shows the target. The target defaults to the text (a link
 * whose text is "Contact" and whose URL was never set opens "Contact"); a
 * link with a target and no text shows the target.
 *
 * With adjust-to-fit (the default) the control takes the size of its text,
 * keeping its top-left corner. A target no handler takes does nothing
 * visible.
 */
class CHyperLink final : public QLabel {
    Q_OBJECT

  public:
    static constexpr QRgb kLinkColor = qRgb(0, 0, 255);
    static constexpr QRgb kVisitedColor = qRgb(85, 26, 139);

    explicit CHyperLink(const QString& text = QString(), QWidget* parent = nullptr,
                        UrlOpener* opener = nullptr);

    /** Sets the target; shows it when the control has no text yet. */
    void SetURL(const QString& url);
    /** The target a click opens: the URL set, or else the text. */
    QString URL() const;

    void SetUnderline(bool underline);
    bool Underline() const { return underline_; }

    void SetVisited(bool visited);
    bool Visited() const { return visited_; }

    void SetAdjustToFit(bool adjust);
    bool AdjustToFit() const { return adjustToFit_; }

    /** The colour the text is drawn in now. */
    QColor TextColor() const;

    /** What a click does: marks the link visited and opens the target.
     *  The opener's answer is not examined. */
    void Follow();

    /** Opens `target` through `opener`; true when a handler took it. */
    static bool GotoURL(const QString& target, UrlOpener& opener);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ApplyLook();
    void FitToText();

    UrlOpener& opener_;
    QString url_;
    bool underline_ = true;
    bool visited_ = false;
    bool adjustToFit_ = true;
    bool pressed_ = false;
};

}  // namespace kestrune::app
