#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>

namespace kestrune::app {

/**
 * An etched frame of the workspace that holds a view: the waveform or the
 * spectrogram. It fills its inside with the view's background colour; the
 * view's drawing goes on top of that.
 */
class ViewFrame : public QFrame {
    Q_OBJECT

  public:
    explicit ViewFrame(const QColor& background, QWidget* parent = nullptr);

    void SetBackground(const QColor& background);
    QColor Background() const { return background_; }

    /**
     * What the view shows, drawn over the background at the inside's top
     * left; a repaint asked for by the window system shows it again as it
     * is (a null image shows the background alone).
     */
    void SetImage(const QImage& image);
    const QImage& Image() const { return image_; }

    /** Paints done so far: how a redraw can be observed. */
    int PaintCount() const { return paintCount_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor background_;
    QImage image_;
    int paintCount_ = 0;
};

}  // namespace kestrune::app
