#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

#include "app/battery/AutoTest6.h"
#include "core/battery/AudioPresentation.h"
#include "core/battery/PictureSequence.h"

class QProgressBar;
class QPushButton;

namespace kestrune::audio {
class PlaybackWorker;
}

namespace kestrune::app {

class CInputDlg;
class CPictureFrame;
class OneShot;
class StepRunner;

/**
 * "音声を再生": plays the recordings of a scenario one after another,
 * unchanged, with a picture, a bar for the list and one for the recording
 * now playing. It asks nothing and stores nothing; an entry marked PAUSE
 * is followed by the input window, and the list goes on when it closes.
 * Opening it sets the speaker volume from the scenario.
 *
 * The bars move on a 100 ms timer, which also decides when an entry is
 * over (from the recording's length, not from the playback). Closing - by
 * "終了", the close box or at the end of the list - asks first.
 */
class CAutoTest8 final : public QDialog {
    Q_OBJECT

  public:
    CAutoTest8(const VowelTestServices& services, const QString& scenarioPath,
               QWidget* parent = nullptr);
    ~CAutoTest8() override;

    /** False when the scenario holds no entry ("No audio file exits!" shown). */
    bool Loaded() const { return list_ != nullptr; }
    const AudioPresentation* List() const { return list_.get(); }
    /** The speaker volume set on opening, in the mixer's units. */
    int SpeakerValue() const { return speakerValue_; }
    int RunModal();
    bool Playing() const;
    /** The pause window while it is open (null otherwise). */
    CInputDlg* Pause() const { return pause_; }
    QString PictureFile() const;

    void reject() override;

  private:
    void OnStart();
    void PlayEntry();
    void OnTick();
    void Finish();
    void Message(const std::string& text);
    void AdvancePicture();

    VowelTestServices services_;
    std::unique_ptr<AudioPresentation> list_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    std::unique_ptr<OneShot> tick_;
    StepRunner* runner_ = nullptr;
    std::optional<PictureSequence> pictures_;
    QPointer<CInputDlg> pause_;
    int speakerValue_ = 0;

    QPushButton* startButton_ = nullptr;
    QPushButton* endButton_ = nullptr;
    QProgressBar* listBar_ = nullptr;
    QProgressBar* entryBar_ = nullptr;
    CPictureFrame* picture_ = nullptr;
};

}  // namespace kestrune::app
