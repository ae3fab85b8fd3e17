#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace kestrune::app {

class Prompter;

/** The direction text a test shows before it starts, by test number (2 to
 *  7); any other number gives "Invalid test type!". */
QString DirectionText(int testNumber);

/**
 * "操作指示": the directions shown before a listening test, with the
 * headphone picture beside them. It stays above other windows and, when it
 * opens, sets the speaker to its volume percentage.
 *
 * Two uses:
 *  - Modal, run by a test started from the launcher: "次へ　＞" ends the
 *    dialog (accepted) and the test goes on; "＜　戻る" has nowhere to go
 *    back to and leaves the dialog as it is.
 *  - Session, modeless between the entry form and the session's test:
 *    "次へ　＞" hides the dialog and emits nextRequested(), "＜　戻る" hides
 *    it and emits backRequested(); the session shows the test or the form.
 *
 * The close box asks first; OK emits sessionEndRequested() and closes (a
 * modal dialog ends rejected).
 */
class CDirections final : public QDialog {
    Q_OBJECT

  public:
    enum class Use { Modal, Session };

    /** headphoneFolder: the folder holding "headphone.jpg" (the station
     *  folder, with or without a trailing separator). */
    CDirections(int testNumber, Use use, Prompter& prompter, const QString& headphoneFolder,
                QWidget* parent = nullptr);

    int TestNumber() const { return testNumber_; }
    Use Usage() const { return use_; }
    /** Playback volume in percent (default 60); set before showing. */
    int Volume() const { return volume_; }
    void SetVolume(int percent) { volume_ = percent; }
    /** Where the headphone picture is read from. */
    QString HeadphonePath() const { return headphonePath_; }

  signals:
    void nextRequested();
    void backRequested();
    void sessionEndRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    /** The close box and Escape: ask, then end the session. */
    void reject() override;

  private:
    void SetSpeakerVolume() const;
    void OnNext();
    void OnBack();

    int testNumber_;
    Use use_;
    Prompter& prompter_;
    QString headphonePath_;
    int volume_ = 60;
    bool initialised_ = false;
    bool ending_ = false;
    QLabel* text_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
};

}  // namespace kestrune::app
