// The averaged-spectrum window (Analyse menu) "平均スペクトル": the averaged magnitude
// spectrum of every open wave's file, read again from disk, as dB curves
// over frequency. The numbers come from core (FileAverageSpectrum); the
// dialog draws them, reports their power and saves the plot and the table.
#pragma once

#include <QDialog>
#include <QWidget>

#include <string>
#include <vector>

#include "core/dsp/AvgSpectrum.h"

class QPushButton;

namespace kestrune::app {

class Prompter;

/** The graph with its level axis on the left and its frequency axis below. */
class CSpectrumGraph final : public QWidget {
    Q_OBJECT

  public:
    CSpectrumGraph(const std::vector<dsp::AveragedSpectrum>& spectra, double binWidthHz,
                   int binCount, QWidget* parent = nullptr);

    static constexpr int kLeftStrip = 44;    ///< pixels of the level axis
    static constexpr int kBottomStrip = 30;  ///< pixels of the frequency axis

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const std::vector<dsp::AveragedSpectrum>& spectra_;
    double binWidthHz_;
    int binCount_;
};

class CAvgSpectrum final : public QDialog {
    Q_OBJECT

  public:
    /**
     * Computes the spectra of `paths` (frame N, hop S) as it opens; the first
     * file that fails shows its message, and it and the files after it get
     * no curve. `sampleRate` gives the bin width rate / N.
     */
    CAvgSpectrum(int frameLength, int shift, uint32_t sampleRate,
                 const std::vector<std::string>& paths, Prompter& prompter,
                 QWidget* parent = nullptr);

    const std::vector<dsp::AveragedSpectrum>& Spectra() const { return spectra_; }
    /** "Get power": one message per file with a spectrum. */
    void GetPower();
    /** The graph as a PNG picture; false when it cannot be written. */
    bool SavePng(const QString& path) const;
    /** The levels as CSV (SpectrumCsv); false when it cannot be written. */
    bool SaveCsv(const QString& path) const;

  private:
    void ComputeSpectra();

    int frameLength_;
    int shift_;
    uint32_t sampleRate_;
    std::vector<std::string> paths_;
    std::vector<dsp::AveragedSpectrum> spectra_;
    Prompter& prompter_;
    CSpectrumGraph* graph_ = nullptr;
};

}  // namespace kestrune::app
