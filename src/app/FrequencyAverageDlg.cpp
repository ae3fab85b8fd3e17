#include "app/FrequencyAverageDlg.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

#include "app/Prompter.h"

namespace kestrune::app {

CSpectrumGraph::CSpectrumGraph(const std::vector<dsp::AveragedSpectrum>& spectra, double binWidthHz,
                               int binCount, QWidget* parent)
    : QWidget(parent), spectra_(spectra), binWidthHz_(binWidthHz), binCount_(binCount) {
    setObjectName(QStringLiteral("spectrumGraph"));
    setMinimumSize(480 + kLeftStrip, 300 + kBottomStrip);
}

void CSpectrumGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect plot(kLeftStrip, 4, width() - kLeftStrip - 12, height() - kBottomStrip - 8);
    painter.setPen(Qt::gray);
    painter.drawRect(plot);

    // Levels: a tick every 5 dB from -70 to 5, a label on every second one.
    painter.setPen(Qt::black);
    for (int db = static_cast<int>(dsp::kBottomDb), i = 0; db <= dsp::kTopDb; db += 5, ++i) {
        const int y = plot.top() + static_cast<int>(dsp::LevelToY(db, plot.height()));
        painter.drawLine(plot.left() - 4, y, plot.left(), y);
        if (i % 2 == 0)
            painter.drawText(QRect(0, y - 8, kLeftStrip - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(db));
    }
    painter.drawText(QRect(0, plot.bottom() + 4, kLeftStrip - 6, 16), Qt::AlignRight,
                     QStringLiteral("dB"));
    // Frequencies: a tick every kHz, labelled every tick below 10 kHz, else every 5th.
    const dsp::FrequencyAxis axis = dsp::FrequencyAxisRule(binCount_, binWidthHz_);
    for (int k = 0; k <= static_cast<int>(axis.topKHz); ++k) {
        const int x = plot.left() + static_cast<int>(k * plot.width() / axis.topKHz);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
        if (k % axis.labelEvery == 0)
            painter.drawText(QRect(x - 20, plot.bottom() + 5, 40, 14), Qt::AlignHCenter,
                             QString::number(k));
    }
    painter.drawText(QRect(plot.right() - 40, plot.bottom() + 15, 52, 14), Qt::AlignRight,
                     QStringLiteral("KHz"));

    // One polyline per file, clipped to the plot.
    painter.setClipRect(plot);
    const int count = static_cast<int>(spectra_.size());
    for (int i = 0; i < count; ++i) {
        const std::vector<int>& bins = spectra_[static_cast<std::size_t>(i)].bins;
        if (bins.size() < 2) continue;
        const dsp::Rgb rgb = dsp::CurveColor(i, count);
        painter.setPen(QPen(QColor(rgb.red, rgb.green, rgb.blue), 1));
        QPolygonF line;
        const double last = static_cast<double>(bins.size() - 1);
        for (std::size_t k = 0; k < bins.size(); ++k)
            line << QPointF(
                plot.left() + static_cast<double>(k) * plot.width() / last,
                plot.top() + dsp::LevelToY(dsp::LevelDb(bins[k], binCount_), plot.height()));
        painter.drawPolyline(line);
    }
}

CAvgSpectrum::CAvgSpectrum(int frameLength, int shift, uint32_t sampleRate,
                           const std::vector<std::string>& paths, Prompter& prompter,
                           QWidget* parent)
    : QDialog(parent),
      frameLength_(frameLength),
      shift_(shift),
      sampleRate_(sampleRate),
      paths_(paths),
      spectra_(paths.size()),
      prompter_(prompter) {
    setWindowTitle(QStringLiteral("平均スペクトル"));
    graph_ = new CSpectrumGraph(spectra_, static_cast<double>(sampleRate) / frameLength,
                                frameLength / 2, this);
    const auto button = [this](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    QPushButton* refresh = button(QStringLiteral("Refresh"), "refreshButton");
    QPushButton* power = button(QStringLiteral("Get power"), "powerButton");
    QPushButton* png = button(QStringLiteral("Save PNG…"), "savePngButton");
    QPushButton* csv = button(QStringLiteral("Save CSV…"), "saveCsvButton");
    QPushButton* close = button(QStringLiteral("Close"), "closeButton");
    connect(refresh, &QPushButton::clicked, graph_, qOverload<>(&QWidget::update));
    connect(power, &QPushButton::clicked, this, &CAvgSpectrum::GetPower);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(png, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, {}, QStringLiteral("spectrum.png"),
                                                          QStringLiteral("PNG (*.png)"));
        if (!path.isEmpty() && !SavePng(path))
            prompter_.Message(this, QStringLiteral("Can not write ") + path);
    });
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, {}, QStringLiteral("spectrum.csv"),
                                                          QStringLiteral("CSV (*.csv)"));
        if (!path.isEmpty() && !SaveCsv(path))
            prompter_.Message(this, QStringLiteral("Can not write ") + path);
    });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {refresh, power, png, csv}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(graph_, 1);
    layout->addLayout(buttons);
    ComputeSpectra();
}

void CAvgSpectrum::ComputeSpectra() {
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        dsp::AveragedSpectrum spectrum = dsp::FileAverageSpectrum(paths_[i], frameLength_, shift_);
        if (!spectrum.Ok()) {
            prompter_.Message(this, QString::fromStdString(spectrum.message));
            return;
        }
        spectra_[i] = std::move(spectrum);
    }
}

void CAvgSpectrum::GetPower() {
    for (std::size_t i = 0; i < spectra_.size(); ++i) {
        if (spectra_[i].bins.empty()) continue;
        prompter_.Message(this, QString::asprintf(dsp::kPowerFormat, static_cast<int>(i),
                                                  dsp::PowerDb(spectra_[i].bins)));
    }
}

bool CAvgSpectrum::SavePng(const QString& path) const {
    return graph_->grab().save(path, "PNG");
}

bool CAvgSpectrum::SaveCsv(const QString& path) const {
    std::vector<std::string> labels;
    for (const std::string& p : paths_)
        labels.push_back(QFileInfo(QString::fromStdString(p)).fileName().toStdString());
    const std::string csv =
        dsp::SpectrumCsv(spectra_, labels, frameLength_, static_cast<int>(sampleRate_));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(csv.data(), static_cast<qint64>(csv.size())) ==
           static_cast<qint64>(csv.size());
}

}  // namespace kestrune::app
