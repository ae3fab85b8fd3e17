#pragma once

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/dsp/Raster.h"

class QAction;
class QProgressBar;
class QStatusBar;
class QWidget;

namespace kestrune {
class WaveSet;
struct Outcome;
}  // namespace kestrune

namespace kestrune::app {

class Prompter;
class ViewFrame;

/** The options the views draw with (kept by the main window). */
struct ViewOptions {
    QColor waveBackground{255, 255, 255};
    QColor spectrumBackground{255, 255, 255};
    QColor standardLine{255, 0, 255};
    std::uint32_t frameLength = 2048;
    std::uint32_t shiftSamples = 128;
    bool hannWindow = false;     ///< spectrogram frames through a Hann window (else rectangular)
    bool decibelLevels = false;  ///< spectrogram coloured on the decibel scale
};

/** The four tool cursors, 32 x 32, drawn here (zoom in, zoom out, cut left, cut right). */
enum class ToolCursor { ZoomIn, ZoomOut, CutLeft, CutRight };
QCursor MakeToolCursor(ToolCursor which);

/**
 * The wave and spectrum views of the workspace with their scales and
 * legends, and the zoom and cut mouse tools.
 *
 * Every view keeps the image it last drew: a repaint the window system asks
 * for (an expose, a resize) shows that image again, so a zoom survives a
 * tooltip passing over it. The Draw commands and every change of the wave
 * set draw the whole waves afresh.
 *
 * The spectrogram is computed off the GUI thread once per change of the
 * last wave, N, S or the window function, and kept; a progress bar in the
 * status area shows long computations, and the next change cancels a
 * running one. GUI thread only, apart from that worker.
 */
class CWaveViews final : public QObject {
    Q_OBJECT

  public:
    /** What the views need from the main window; all must outlive the views. */
    struct Parts {
        WaveSet& waves;
        Prompter& prompter;
        QWidget* window;     ///< parent of message boxes
        QWidget* workspace;  ///< the area whose clicks the tools take
        ViewFrame* waveView;
        ViewFrame* spectrumView;
        QWidget* amplitudeStrip;
        QWidget* timeStrip;
        QWidget* frequencyStrip;
        QWidget* waveLegendStrip;
        QWidget* levelStrip;
        std::vector<QAction*> tools;  ///< zoom in, zoom out, cut left, cut right
        int& zoomTool;
        int& cutTool;
        std::function<ViewOptions()> options;
        QStatusBar* status = nullptr;  ///< where the progress bar goes (optional)
        /** Runs a change of the waves (a cut) so it can be taken back;
         *  empty: the change is simply made. */
        std::function<Outcome(const std::function<Outcome(WaveSet&)>&)> recordEdit = {};
    };

    /** The wave view's result: the set was empty, nothing to draw, or drawn. */
    enum class WaveDrawing { EmptySet, NothingDrawn, Drawn };

    inline static const QString kOnlyOneWave =
        QStringLiteral("Only one wave file opended can be edited!");
    inline static const QString kReallocFailed = QStringLiteral("Realloc failed!");

    explicit CWaveViews(Parts parts, QObject* parent = nullptr);
    ~CWaveViews() override;

    /** The wave view over the whole waves, its scales and the legends; resets the range. */
    WaveDrawing DrawWave();
    /** The spectrogram of the last wave (from the kept levels when nothing changed). */
    void DrawSpectrum();
    /** The zero line is part of the wave image; this draws the three scales for `length`. */
    void DrawScales(std::uint32_t length);
    void DrawLegends();
    /** The playback progress line in the time strip, up to `seconds` of the
     *  longest wave, in the last wave's legend colour. */
    void DrawProgressLine(double seconds);
    /** Redraws the scales, which takes the progress line away. */
    void ClearProgressLine();

    /** A left click at `point` (workspace coordinates): applies the armed tool. */
    void OnViewClick(QPoint point);

    /**
     * The status bar's pointer readout at a point of a view's inside:
     * "t = 12.3 ms, amplitude = -456" over the wave view (the sample under
     * the column, the value of the row); "t = 12.3 ms, f = 1076 Hz" over
     * the spectrogram. Empty where nothing is shown.
     */
    QString WaveReadout(QPoint inside) const;
    QString SpectrumReadout(QPoint inside) const;

    /** True while a spectrogram is being computed. */
    bool SpectrumPending() const { return pending_ != nullptr; }

  signals:
    /** A cut changed the wave: the owner redraws both views. */
    void WaveCut();
    /** A spectrogram finished and is shown. */
    void SpectrumDrawn();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Job;
    std::vector<dsp::ViewWave> ViewWaves();
    void RefreshSummaries();
    QImage NewImage(QWidget* strip) const;
    /** Shows new levels, or (null) the kept ones over the current background. */
    void ShowSpectrogram(const dsp::SpectrogramLevels* levels);
    void ShowZoomed();
    void ReleaseTools();
    bool InsideWaveView(QPoint point, QPoint* local) const;
    void Cut(int sample);
    void ShowReadout(const QString& text);

    Parts parts_;
    std::vector<dsp::WaveSummary> summaries_;
    std::vector<const std::uint8_t*> summaryKeys_;
    std::vector<std::uint32_t> summaryCounts_;
    std::vector<QImage*> stripImages_;
    QImage amplitudeImage_, timeImage_, frequencyImage_, waveLegendImage_, levelImage_;

    // The spectrogram kept for the last computation, and the one running.
    struct Key {
        std::vector<std::uint8_t> samples;
        std::uint32_t n = 0, s = 0, rate = 0;
        int bits = 0, width = 0, height = 0;
        bool hann = false;
        bool decibels = false;
        bool operator==(const Key&) const = default;
    };
    std::shared_ptr<const Key> shownKey_;
    QImage spectrumImage_;
    std::shared_ptr<Job> pending_;
    QThreadPool pool_;
    QProgressBar* progress_ = nullptr;
};

}  // namespace kestrune::app
