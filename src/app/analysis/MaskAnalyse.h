// Analyse → Mask analyse: CMaskAnalyse ("Mask analyse"), the workbench for
// simultaneous masking between two vowel recordings. It shows what core's
// mask analysis computes (MaskAnalysis.h) over a hertz or Bark axis and runs
// the five batch analyses into the station's Data/maskanalyse1 ... 5.xls.
//
// The analyses read their averages from the database first, on the GUI
// thread (the store's connection belongs to it), and then compute on a
// worker thread; the window stays live, shows a progress bar and can cancel.
// The "diff:" of every pair of "Average DE" and the "Read database error!"
// of a pair without an average go to the log line under the buttons instead
// of a box per pair. Analyses 2 to 4 weigh each pair with the average they
// read for it (see MaskAnalysis.h).
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

#include "core/analysis/MaskAnalysis.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QDoubleSpinBox;
class QThread;

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class FileChooser;
class Prompter;

/** What the graph draws. The dialog changes it and asks the graph to repaint. */
struct MaskDisplay {
    std::optional<analysis::MaskSpectra> spectra;  ///< the last Confirm
    bool showMasking = true;                       ///< the four display flags
    bool showMasked = true;
    bool showEffect = true;
    bool showBands = true;
    bool inBark = false;
    bool curvesShown = false;         ///< the Confirm curves (Clear display takes them away)
    bool athShown = false;            ///< "Show ATH"
    std::optional<double> patternZk;  ///< "Show masking pattern" at this masker position
    int patternLevel = 60;            ///< dB of the masking pattern
    double topHz = 11025.0;           ///< the axis runs to K x df
};

/** The graph: levels -15 ... 65 dB over hertz or Bark; the pointer's position is reported. */
class CMaskGraph final : public QWidget {
    Q_OBJECT

  public:
    explicit CMaskGraph(const MaskDisplay& display, QWidget* parent = nullptr);

    static constexpr double kTopDb = 65.0;
    static constexpr double kBottomDb = -15.0;
    static constexpr int kLeft = 44, kRight = 12, kTop = 8, kBottom = 36;

    /** Curve colours, also shown in the legend. */
    static const QColor kMaskingColor, kMaskedColor, kEffectColor, kBandColor, kAthColor,
        kPatternColor;

    /** x of a frequency and of a Bark position on the current axis. */
    double XOfHz(double hz) const;
    double XOfBark(double bark) const;
    double YOfDb(double db) const;

  signals:
    /** The pointer's position on the axes. */
    void PointerMoved(double bark, int hz, double db);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    double PlotWidth() const;
    double PlotHeight() const;
    double TopBark() const;

    const MaskDisplay& display_;
};

/** What the main window hands the dialog. */
struct MaskAnalyseSetup {
    int frameLength = 2048;         ///< N
    int shift = 128;                ///< H
    double binWidth = 0.0;          ///< df; 0: each masking file's rate / N
    QString stationDir;             ///< vowels/ and Data/ live here
    store::Database* db = nullptr;  ///< the shared connection; null: no analyses
};

class CMaskAnalyse final : public QDialog {
    Q_OBJECT

  public:
    CMaskAnalyse(const MaskAnalyseSetup& setup, Prompter& prompter, FileChooser& files,
                 QWidget* parent = nullptr);
    ~CMaskAnalyse() override;

    /** "Confirm": the two paths' spectra at the levels in the edits; false after a message. */
    bool ConfirmFiles();
    /** Starts one of the five analyses; false (after a message) when it cannot start. */
    bool StartAnalysis(analysis::MaskAnalysisKind kind);
    /** Asks a running analysis to stop after its current pair. */
    void CancelAnalysis();
    bool Running() const { return worker_ != nullptr; }

    const MaskDisplay& Display() const { return display_; }
    /** The workbook analysis `kind` writes: Data/maskanalyseN.xls of the station. */
    QString WorkbookPath(analysis::MaskAnalysisKind kind) const;

  signals:
    /** An analysis ended: finished and written (true) or not. */
    void AnalysisEnded(bool written);

  protected:
    void reject() override;

  private:
    void BuildControls();
    void Toggle(bool MaskDisplay::*flag, QPushButton* button, const QString& what);
    void ShowAll();
    void ShowSpectra(const analysis::MaskSpectra& spectra);
    void ShowPattern();
    void ZkMoved(double zk);
    void Transform();
    void Finish(const std::shared_ptr<analysis::MaskRunResult>& result,
                analysis::MaskAnalysisKind kind);
    bool WriteWorkbook(const analysis::ResultTable& table, analysis::MaskAnalysisKind kind);
    void SetBusy(bool busy);
    void Log(const QString& line);

    MaskAnalyseSetup setup_;
    Prompter& prompter_;
    FileChooser& files_;
    MaskDisplay display_;
    int maskingLevel_ = 60;
    int maskedLevel_ = 60;
    int snr_ = 0;

    QThread* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> cancel_;

    CMaskGraph* graph_ = nullptr;
    QLineEdit* maskingPath_ = nullptr;
    QLineEdit* maskedPath_ = nullptr;
    QLabel* maskingVowel_ = nullptr;
    QLabel* maskedVowel_ = nullptr;
    QLineEdit* maskingLevelEdit_ = nullptr;
    QLineEdit* maskedLevelEdit_ = nullptr;
    QPushButton* maskingToggle_ = nullptr;
    QPushButton* maskedToggle_ = nullptr;
    QPushButton* effectToggle_ = nullptr;
    QPushButton* bandsToggle_ = nullptr;
    QPushButton* showAll_ = nullptr;
    QLineEdit* zk_ = nullptr;
    QDoubleSpinBox* zkSpin_ = nullptr;
    QLineEdit* transformIn_ = nullptr;
    QLineEdit* transformOut_ = nullptr;
    QRadioButton* hzToBark_ = nullptr;
    QLabel* position_ = nullptr;
    QLineEdit* ageFrom_ = nullptr;
    QLineEdit* ageTo_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QList<QPushButton*> analysisButtons_;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace kestrune::app
