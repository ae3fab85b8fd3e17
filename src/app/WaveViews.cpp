#include "app/WaveViews.h"

#include <QAction>
#include <QBitmap>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QStatusBar>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <thread>

#include "app/Prompter.h"
#include "app/ScaleBar.h"
#include "app/ViewFrame.h"
#include "core/dsp/Edits.h"
#include "core/dsp/Spectrogram.h"
#include "core/wave/WaveSet.h"

namespace kestrune::app {

namespace {

// Work (visible frames x N) up to which the spectrogram is made at once, on
// the GUI thread's call (a few milliseconds), and above which the status
// area shows a progress bar while the worker runs.
constexpr double kImmediateWork = 1024.0 * 1024;
constexpr double kProgressWork = 2.0 * 1024 * 1024;

dsp::Rgb ToRgb(const QColor& color) {
    return {static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
            static_cast<std::uint8_t>(color.blue())};
}

QColor ToColor(dsp::Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

dsp::Canvas CanvasOf(QImage& image) {
    return {reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}

void SetScale(CScaleBar& bar, const dsp::ScaleSpec& spec, bool vertical) {
    bar.SetMin(spec.minValue);
    bar.SetMax(spec.maxValue);
    bar.SetTickStep(spec.tickStep);
    bar.SetLabelEvery(spec.labelEvery);
    bar.SetVertical(vertical ? 1 : 0);
    bar.SetUnit(QString::fromStdString(spec.unit));
}

}  // namespace

QCursor MakeToolCursor(ToolCursor which) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing, false);
        QPen pen(Qt::black, 2);
        p.setPen(pen);
        if (which == ToolCursor::ZoomIn || which == ToolCursor::ZoomOut) {
            // A magnifier: the lens at the top left (the hot spot's side), a handle down right.
            p.setBrush(Qt::white);
            p.drawEllipse(QRect(2, 2, 18, 18));
            p.setPen(QPen(Qt::black, 4));
            p.drawLine(18, 18, 29, 29);
            p.setPen(QPen(Qt::black, 2));
            p.drawLine(6, 11, 16, 11);                                   // minus
            if (which == ToolCursor::ZoomIn) p.drawLine(11, 6, 11, 16);  // plus
        } else {
            // Scissors: blades meeting at the left edge, finger loops to the right.
            const bool left = which == ToolCursor::CutLeft;
            if (!left) {
                p.translate(32, 0);
                p.scale(-1, 1);
            }
            p.drawLine(1, 9, 18, 16);
            p.drawLine(1, 23, 18, 16);
            p.setBrush(Qt::white);
            p.drawEllipse(QRect(19, 4, 10, 9));
            p.drawEllipse(QRect(19, 19, 10, 9));
        }
    }
    const bool zoomIn = which == ToolCursor::ZoomIn;
    const bool cutRight = which == ToolCursor::CutRight;
    return QCursor(pixmap, zoomIn ? 1 : cutRight ? 31 : 0, zoomIn ? 1 : cutRight ? 16 : 0);
}

struct CWaveViews::Job {
    std::shared_ptr<const Key> key;
    std::atomic<bool> cancel{false};
};

CWaveViews::CWaveViews(Parts parts, QObject* parent) : QObject(parent), parts_(std::move(parts)) {
    pool_.setMaxThreadCount(1);
    for (QWidget* strip : {parts_.amplitudeStrip, parts_.timeStrip, parts_.frequencyStrip,
                           parts_.waveLegendStrip, parts_.levelStrip})
        strip->installEventFilter(this);
    parts_.workspace->installEventFilter(this);
    parts_.waveView->installEventFilter(this);
    parts_.waveView->setMouseTracking(true);
    parts_.spectrumView->installEventFilter(this);
    parts_.spectrumView->setMouseTracking(true);
}

CWaveViews::~CWaveViews() {
    if (pending_) pending_->cancel = true;
    pool_.waitForDone();
}

QImage CWaveViews::NewImage(QWidget* strip) const {
    QImage image(strip->size(), QImage::Format_RGB32);
    image.fill(strip->palette().color(strip->backgroundRole()));
    return image;
}

void CWaveViews::RefreshSummaries() {
    const WaveSet& set = parts_.waves;
    const int bits = set.format.bitsPerSample;
    summaries_.resize(static_cast<std::size_t>(set.waveCount));
    summaryKeys_.resize(summaries_.size(), nullptr);
    summaryCounts_.resize(summaries_.size(), 0);
    for (int i = 0; i < set.waveCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const std::uint8_t* data = set.samples[index].data();
        // A summary is made again whenever the buffer or its length changed.
        if (summaryKeys_[index] == data && summaryCounts_[index] == set.sampleCounts[index])
            continue;
        summaries_[index] = dsp::WaveSummary({data, set.sampleCounts[index], bits});
        summaryKeys_[index] = data;
        summaryCounts_[index] = set.sampleCounts[index];
    }
}

std::vector<dsp::ViewWave> CWaveViews::ViewWaves() {
    RefreshSummaries();
    const WaveSet& set = parts_.waves;
    std::vector<dsp::ViewWave> waves;
    for (int i = 0; i < set.waveCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        waves.push_back(
            {{set.samples[index].data(), set.sampleCounts[index], set.format.bitsPerSample},
             &summaries_[index]});
    }
    return waves;
}

CWaveViews::WaveDrawing CWaveViews::DrawWave() {
    WaveSet& set = parts_.waves;
    const ViewOptions options = parts_.options();
    const QSize size = parts_.waveView->contentsRect().size();
    QImage image(size, QImage::Format_RGB32);
    dsp::Canvas canvas = CanvasOf(image);
    if (set.waveCount == 0) {
        canvas.Fill(ToRgb(options.waveBackground).Pixel());
        parts_.waveView->SetImage(image);
        parts_.zoomTool = 0;
        parts_.cutTool = 0;
        DrawLegends();
        return WaveDrawing::EmptySet;
    }
    std::uint32_t longest = 0;
    for (int i = 0; i < set.waveCount; ++i)
        longest = std::max(longest, set.sampleCounts[static_cast<std::size_t>(i)]);
    const bool drawn = dsp::RenderWholeWaves(canvas, ViewWaves(), ToRgb(options.waveBackground),
                                             ToRgb(options.standardLine));
    parts_.waveView->SetImage(image);
    if (!drawn) return WaveDrawing::NothingDrawn;
    DrawScales(longest);
    DrawLegends();
    set.UpdateViewRange();
    return WaveDrawing::Drawn;
}

void CWaveViews::DrawScales(std::uint32_t length) {
    if (length == 0) return;
    const WaveSet& set = parts_.waves;
    const int bits = set.format.bitsPerSample;
    CScaleBar bar;
    amplitudeImage_ = NewImage(parts_.amplitudeStrip);
    SetScale(bar, dsp::AmplitudeScale(bits), true);
    bar.Draw(amplitudeImage_);
    frequencyImage_ = NewImage(parts_.frequencyStrip);
    SetScale(bar, dsp::FrequencyScale(bits, set.format.sampleRate), true);
    bar.Draw(frequencyImage_);
    timeImage_ = NewImage(parts_.timeStrip);
    SetScale(bar, dsp::TimeScale(length, set.format.sampleRate), false);
    bar.Draw(timeImage_);
    parts_.amplitudeStrip->update();
    parts_.frequencyStrip->update();
    parts_.timeStrip->update();
}

namespace {

std::uint32_t LongestWave(const WaveSet& set) {
    std::uint32_t longest = 0;
    for (int i = 0; i < set.waveCount; ++i)
        longest = std::max(longest, set.sampleCounts[static_cast<std::size_t>(i)]);
    return longest;
}

}  // namespace

void CWaveViews::DrawProgressLine(double seconds) {
    const WaveSet& set = parts_.waves;
    const std::uint32_t longest = LongestWave(set);
    if (longest <= 1 || set.format.sampleRate == 0) return;
    if (timeImage_.isNull()) timeImage_ = NewImage(parts_.timeStrip);
    const double total = static_cast<double>(longest) / set.format.sampleRate;
    const int end = dsp::ProgressLineEnd(seconds, total, timeImage_.width());
    QPainter p(&timeImage_);
    p.setPen(ToColor(dsp::LegendColor(set.waveCount - 1, set.waveCount)));
    p.drawLine(0, dsp::kProgressLineY, end, dsp::kProgressLineY);
    parts_.timeStrip->update();
}

void CWaveViews::ClearProgressLine() {
    const std::uint32_t longest = LongestWave(parts_.waves);
    if (longest > 1) DrawScales(longest);
}

void CWaveViews::DrawLegends() {
    const WaveSet& set = parts_.waves;
    const bool decibels = parts_.options().decibelLevels;
    QFont font = parts_.levelStrip->font();
    font.setPixelSize(9);
    {
        levelImage_ = NewImage(parts_.levelStrip);
        QPainter p(&levelImage_);
        p.setFont(font);
        const int w = levelImage_.width();
        const int h = levelImage_.height();
        for (int v = 0; v <= 256; ++v) {
            p.setPen(ToColor(dsp::LevelColor(v)));
            p.drawLine(0, h - v, w / 2 - 1, h - v);
            if (v % 16 == 0)
                p.drawText(QRect(w / 2, h - v - 8, w, 12), Qt::AlignLeft | Qt::AlignTop,
                           QString::fromStdString(
                               decibels ? dsp::DecibelLegendLabel(v)
                                        : dsp::LevelLegendLabel(v, set.format.bitsPerSample)));
        }
    }
    {
        waveLegendImage_ = NewImage(parts_.waveLegendStrip);
        QPainter p(&waveLegendImage_);
        p.setFont(font);
        const int n = set.waveCount;
        const int h = waveLegendImage_.height();
        for (int i = 0; i < n; ++i) {
            p.setPen(ToColor(dsp::LegendColor(i, n)));
            p.drawText(QRect(0, h * i / n, waveLegendImage_.width(), 14),
                       Qt::AlignLeft | Qt::AlignTop,
                       QString::fromStdString(set.names[static_cast<std::size_t>(i)]));
        }
    }
    parts_.levelStrip->update();
    parts_.waveLegendStrip->update();
}

void CWaveViews::DrawSpectrum() {
    const WaveSet& set = parts_.waves;
    const ViewOptions options = parts_.options();
    const QSize size = parts_.spectrumView->contentsRect().size();
    const std::size_t last = static_cast<std::size_t>(std::max(set.waveCount - 1, 0));
    if (set.waveCount == 0 || set.sampleCounts[last] == 0) {
        if (pending_) pending_->cancel = true;
        pending_.reset();
        QImage image(size, QImage::Format_RGB32);
        image.fill(options.spectrumBackground);
        parts_.spectrumView->SetImage(image);
        return;
    }
    auto key = std::make_shared<Key>();
    const int bits = set.format.bitsPerSample;
    const std::uint32_t count = set.sampleCounts[last];
    const auto bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(bits / 8);
    key->n = options.frameLength;
    key->s = options.shiftSamples;
    key->rate = set.format.sampleRate;
    key->bits = bits;
    key->width = size.width();
    key->height = size.height();
    key->hann = options.hannWindow;
    key->decibels = options.decibelLevels;
    // Compared against the wave in place: a long wave is copied only when
    // it changed, not at every drawing.
    const std::uint8_t* data = set.samples[last].data();
    auto same = [&](const Key& other) {
        return other.n == key->n && other.s == key->s && other.rate == key->rate &&
               other.bits == key->bits && other.width == key->width &&
               other.height == key->height && other.hann == key->hann &&
               other.decibels == key->decibels && other.samples.size() == bytes &&
               std::memcmp(other.samples.data(), data, bytes) == 0;
    };
    if (pending_ && same(*pending_->key)) return;  // already on its way
    if (pending_) pending_->cancel = true;
    pending_.reset();
    if (shownKey_ && same(*shownKey_) && !spectrumImage_.isNull()) {
        // Same wave and framing: the kept levels, over the current background.
        ShowSpectrogram(nullptr);
        return;
    }
    key->samples.assign(data, data + bytes);
    const dsp::WaveSamples wave{key->samples.data(), count, bits};
    const int frames = dsp::SpectrogramFrameCount(count, static_cast<int>(key->s));
    const auto visible = dsp::VisibleFrames(frames, key->width);
    const double work = static_cast<double>(visible.size()) * key->n;
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (work <= kImmediateWork) {
        shownKey_ = key;
        const dsp::SpectrogramLevels levels =
            dsp::ComputeSpectrogram(wave,
                                    {static_cast<int>(key->n), static_cast<int>(key->s),
                                     static_cast<int>(key->rate), key->hann, key->decibels},
                                    visible, threads);
        ShowSpectrogram(&levels);
        return;
    }
    auto job = std::make_shared<Job>();
    job->key = key;
    pending_ = job;
    if (work > kProgressWork && parts_.status != nullptr) {
        if (progress_ == nullptr) {
            progress_ = new QProgressBar(parts_.status);
            progress_->setObjectName(QStringLiteral("spectrumProgress"));
            progress_->setMaximumWidth(160);
            parts_.status->addPermanentWidget(progress_);
        }
        progress_->setRange(0, static_cast<int>(visible.size()));
        progress_->setValue(0);
        progress_->show();
    }
    pool_.start([this, job, wave, visible, threads] {
        const dsp::SpectrogramParams params{
            static_cast<int>(job->key->n), static_cast<int>(job->key->s),
            static_cast<int>(job->key->rate), job->key->hann, job->key->decibels};
        auto progress = [this, job](int done) {
            QMetaObject::invokeMethod(
                this,
                [this, job, done] {
                    if (pending_ == job && progress_ != nullptr) progress_->setValue(done);
                },
                Qt::QueuedConnection);
        };
        auto levels = std::make_shared<dsp::SpectrogramLevels>(
            dsp::ComputeSpectrogram(wave, params, visible, threads, &job->cancel, progress));
        if (job->cancel) return;
        QMetaObject::invokeMethod(
            this,
            [this, job, levels] {
                if (pending_ != job) return;  // a later change took over
                pending_.reset();
                shownKey_ = job->key;
                ShowSpectrogram(levels.get());
            },
            Qt::QueuedConnection);
    });
}

void CWaveViews::ShowSpectrogram(const dsp::SpectrogramLevels* levels) {
    const ViewOptions options = parts_.options();
    const QSize size(shownKey_->width, shownKey_->height);
    if (levels != nullptr || spectrumImage_.isNull()) {
        // The levels drawn over a transparent sheet, kept for later repaints.
        spectrumImage_ = QImage(size, QImage::Format_ARGB32);
        spectrumImage_.fill(Qt::transparent);
        dsp::Canvas canvas = CanvasOf(spectrumImage_);
        if (levels != nullptr) dsp::DrawSpectrogram(canvas, *levels);
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(options.spectrumBackground);
    {
        QPainter p(&image);
        p.drawImage(0, 0, spectrumImage_);
    }
    parts_.spectrumView->SetImage(image);
    if (progress_ != nullptr) progress_->hide();
    DrawLegends();
    emit SpectrumDrawn();
}

void CWaveViews::ReleaseTools() {
    for (QAction* tool : parts_.tools) tool->setChecked(false);
    parts_.zoomTool = 0;
    parts_.cutTool = 0;
}

bool CWaveViews::InsideWaveView(QPoint point, QPoint* local) const {
    const QRect inside = parts_.waveView->contentsRect();
    const QPoint topLeft = parts_.waveView->mapTo(parts_.workspace, inside.topLeft());
    const QPoint at = point - topLeft;
    if (local != nullptr) *local = at;
    return at.x() > 0 && at.x() < inside.width() && at.y() > 0 && at.y() < inside.height();
}

void CWaveViews::OnViewClick(QPoint point) {
    if (parts_.zoomTool == 0 && parts_.cutTool == 0) return;
    QPoint local;
    if (!InsideWaveView(point, &local)) {
        ReleaseTools();
        return;
    }
    WaveSet& set = parts_.waves;
    if (set.waveCount == 0) return;
    const int width = parts_.waveView->contentsRect().width();
    const dsp::ViewRange range{set.viewStart, set.viewEnd};
    const int sample = dsp::ClickedSample(local.x(), width, range);
    if (parts_.cutTool != 0) {
        Cut(sample);
        return;
    }
    double longest = 0;
    for (int i = 0; i < set.waveCount; ++i)
        longest = std::max<double>(longest, set.sampleCounts[static_cast<std::size_t>(i)]);
    if (longest <= 0) return;
    const bool in = parts_.zoomTool == 1;
    const dsp::ZoomStep step =
        in ? dsp::ZoomIn(range, sample, longest) : dsp::ZoomOut(range, longest);
    if (!step.zoomed) {
        parts_.tools[0]->setChecked(false);
        parts_.tools[1]->setChecked(false);
        parts_.tools[in ? 0 : 1]->setEnabled(false);
        parts_.zoomTool = 0;
        return;
    }
    set.viewStart = step.range.start;
    set.viewEnd = step.range.end;
    ShowZoomed();
    for (QAction* tool : parts_.tools) tool->setEnabled(true);
}

void CWaveViews::ShowZoomed() {
    const WaveSet& set = parts_.waves;
    const ViewOptions options = parts_.options();
    QImage image(parts_.waveView->contentsRect().size(), QImage::Format_RGB32);
    dsp::Canvas canvas = CanvasOf(image);
    dsp::RenderZoomedWaves(canvas, ViewWaves(), {set.viewStart, set.viewEnd},
                           ToRgb(options.waveBackground), ToRgb(options.standardLine));
    parts_.waveView->SetImage(image);
    CScaleBar bar;
    timeImage_ = NewImage(parts_.timeStrip);
    SetScale(bar, dsp::ZoomedTimeScale(set.viewStart, set.viewEnd, set.format.sampleRate), false);
    bar.Draw(timeImage_);
    frequencyImage_ = NewImage(parts_.frequencyStrip);
    SetScale(bar, dsp::ZoomedSideScale(), true);
    bar.Draw(frequencyImage_);
    parts_.timeStrip->update();
    parts_.frequencyStrip->update();
}

void CWaveViews::Cut(int sample) {
    const edits::CutSide side = parts_.cutTool < 0 ? edits::CutSide::Left : edits::CutSide::Right;
    const auto cut = [side, sample](WaveSet& set) { return edits::Cut(set, side, sample); };
    const Outcome outcome = parts_.recordEdit ? parts_.recordEdit(cut) : cut(parts_.waves);
    if (!outcome.ok) {
        parts_.prompter.Message(parts_.window, QString::fromStdString(outcome.message));
        return;
    }
    parts_.cutTool = 0;
    emit WaveCut();
}

QString CWaveViews::WaveReadout(QPoint inside) const {
    const WaveSet& set = parts_.waves;
    const QSize size = parts_.waveView->contentsRect().size();
    if (set.waveCount == 0 || set.format.sampleRate == 0 || set.viewEnd <= set.viewStart ||
        !QRect(QPoint(0, 0), size).contains(inside))
        return {};
    const dsp::ViewRange range{set.viewStart, set.viewEnd};
    const std::int64_t sample = dsp::SampleAtColumn(inside.x(), size.width(), range);
    // Zoomed while the range is not the whole of the longest wave.
    std::uint32_t longest = 0;
    for (int i = 0; i < set.waveCount; ++i)
        longest = std::max(longest, set.sampleCounts[static_cast<std::size_t>(i)]);
    const bool zoomed = set.viewStart != 0.0 || set.viewEnd != longest - 1.0;
    const int amplitude =
        dsp::AmplitudeAtRow(inside.y(), size.height(), set.format.bitsPerSample, zoomed);
    const double ms = static_cast<double>(sample) / set.format.sampleRate * 1000.0;
    return QStringLiteral("t = %1 ms, amplitude = %2").arg(ms, 0, 'f', 1).arg(amplitude);
}

QString CWaveViews::SpectrumReadout(QPoint inside) const {
    if (!shownKey_ || pending_ || shownKey_->rate == 0 || shownKey_->bits < 8) return {};
    const Key& key = *shownKey_;
    if (!QRect(0, 0, key.width, key.height).contains(inside)) return {};
    const int bin = dsp::SpectrogramBinAtRow(inside.y(), key.height, static_cast<int>(key.n));
    if (bin < 0) return {};
    const auto samples =
        static_cast<std::uint32_t>(key.samples.size() / static_cast<std::size_t>(key.bits / 8));
    const double ms =
        dsp::SpectrogramTimeMs(inside.x(), key.width, samples, static_cast<int>(key.s), key.rate);
    const auto hertz = static_cast<std::int64_t>(key.rate) * bin / key.n;
    return QStringLiteral("t = %1 ms, f = %2 Hz").arg(ms, 0, 'f', 1).arg(hertz);
}

void CWaveViews::ShowReadout(const QString& text) {
    if (parts_.status == nullptr) return;
    if (text.isEmpty())
        parts_.status->clearMessage();
    else
        parts_.status->showMessage(text);
}

bool CWaveViews::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        const QImage* image = nullptr;
        if (watched == parts_.amplitudeStrip) image = &amplitudeImage_;
        if (watched == parts_.timeStrip) image = &timeImage_;
        if (watched == parts_.frequencyStrip) image = &frequencyImage_;
        if (watched == parts_.waveLegendStrip) image = &waveLegendImage_;
        if (watched == parts_.levelStrip) image = &levelImage_;
        if (image != nullptr && !image->isNull()) {
            QPainter p(static_cast<QWidget*>(watched));
            p.drawImage(0, 0, *image);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonPress && watched == parts_.workspace) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) OnViewClick(mouse->position().toPoint());
    } else if (event->type() == QEvent::MouseMove && watched == parts_.spectrumView) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        ShowReadout(SpectrumReadout(at - parts_.spectrumView->contentsRect().topLeft()));
    } else if (event->type() == QEvent::Leave &&
               (watched == parts_.waveView || watched == parts_.spectrumView)) {
        ShowReadout({});
    } else if (event->type() == QEvent::MouseMove && watched == parts_.waveView) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        ShowReadout(
            WaveReadout(mouse->position().toPoint() - parts_.waveView->contentsRect().topLeft()));
        const QPoint point = parts_.waveView->mapTo(parts_.workspace, mouse->position().toPoint());
        if ((parts_.zoomTool != 0 || parts_.cutTool != 0) && InsideWaveView(point, nullptr)) {
            const ToolCursor which = parts_.zoomTool == 1    ? ToolCursor::ZoomIn
                                     : parts_.zoomTool == -1 ? ToolCursor::ZoomOut
                                     : parts_.cutTool < 0    ? ToolCursor::CutLeft
                                                             : ToolCursor::CutRight;
            parts_.waveView->setCursor(MakeToolCursor(which));
        } else {
            parts_.waveView->unsetCursor();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kestrune::app
