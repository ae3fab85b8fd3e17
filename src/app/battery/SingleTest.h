#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/battery/SingleFactor.h"
#include "core/wave/WaveFile.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kestrune {
class Clock;
class CrtRandom;
}  // namespace kestrune

namespace kestrune::store {
class Database;
}

namespace kestrune::audio {
class SoundOutput;
}

namespace kestrune::app {

class FileChooser;
class Prompter;

/** What the single-factor experiment works with; everything must outlive it. */
struct SingleTestServices {
    store::Database& db;
    Prompter& prompter;
    /** The headphones; null: playing shows "Audio output error!". */
    audio::SoundOutput* output = nullptr;
    const Clock& clock;  ///< TRTime of the judgements
    CrtRandom& random;   ///< the random pick and the noise
    /** The "..." file dialog; null: Qt's, on "Wav Files (*.wav *.WAV)". */
    FileChooser* files = nullptr;
    /** Where relative material paths are found; empty: the working folder. */
    QString stationFolder;
};

/**
 * "単一要素の実験": the experimenter's hand-driven experiment. A subject and a
 * registered material are confirmed, the four factors are set on their
 * ladders, the processed sound is played (once, or looping until "Stop")
 * and each judgement that changes the state is stored as a TestRecord row.
 * "元に戻す" takes back the last row this window wrote.
 *
 * Playback runs on the sound output; its end is reported on the output's
 * thread and handled on the dialog's. Every database access goes through
 * the store's functions.
 */
class CSingleTest final : public QDialog {
    Q_OBJECT

  public:
    explicit CSingleTest(const SingleTestServices& services, QWidget* parent = nullptr);
    ~CSingleTest() override;

    const SingleFactorExperiment& Experiment() const { return experiment_; }
    bool Playing() const { return playing_; }
    /** The subject and material of the last confirmation (0 before). */
    qint64 SubjectId() const { return subjectId_; }
    qint64 AudioId() const { return audioId_; }
    /** The TRID of the last row this window wrote and has not taken back. */
    std::optional<qint64> LastRecordId() const { return lastRecordId_; }

    /** The close box, Escape and "終了": ask, then release the output. */
    void reject() override;

  private:
    void OnSearchSubject();
    void OnConfirm();
    void OnBrowse();
    void OnRandomMaterial();
    void OnProperties();
    void OnLadderMoved(SingleFactor factor, int index);
    void OnPlay();
    /** The output finished what was written (on the dialog's thread). */
    void OnOutputDone();
    void OnJudgement(Judgement judgement);
    void OnRollBack();
    void StopOutput();
    void UpdateButtons();
    QString ResolvedPath(const QString& pathname) const;

    SingleTestServices services_;
    SingleFactorExperiment experiment_;
    qint64 subjectId_ = 0;
    qint64 audioId_ = 0;
    bool loaded_ = false;
    std::vector<std::uint8_t> samples_;
    std::uint32_t sampleCount_ = 0;
    WaveFormat format_;
    /** The processed sound being played; written again on each end while looping. */
    std::vector<std::uint8_t> playingBuffer_;
    bool playing_ = false;
    std::optional<qint64> lastRecordId_;
    bool wroteRecord_ = false;

    QLineEdit* subjectEdit_ = nullptr;
    QLineEdit* audioEdit_ = nullptr;
    std::array<QCheckBox*, kSingleFactorCount> checks_{};
    std::array<QLineEdit*, kSingleFactorCount> valueEdits_{};
    std::array<QScrollBar*, kSingleFactorCount> scrollBars_{};
    QComboBox* testerCombo_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QCheckBox* loopCheck_ = nullptr;
    QCheckBox* autoAdjustCheck_ = nullptr;
    std::array<QPushButton*, 3> judgementButtons_{};
    QPushButton* rollBackButton_ = nullptr;
};

}  // namespace kestrune::app
