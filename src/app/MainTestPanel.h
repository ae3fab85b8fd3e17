#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include "app/Information.h"
#include "app/battery/AutoTest6.h"

class QPushButton;

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class Prompter;
class Timers;

/** The result workbook of a measured session: "Data/<full name>.xls" in
 *  the station folder, the name made safe by sheet::SafeFileName (a slash
 *  in it written as "_", and so on). */
QString SessionResultPath(const QString& stationFolder, const QString& fullName);

/** The scenario the vowel test of a session runs: "configtry.ini" for
 *  practice, else "config1.ini" up to the age of 45 and "config2.ini" above. */
QString SessionScenarioPath(const QString& stationFolder, bool practice, int age);

/**
 * The "Station" sheet's rows of a registration at `now`: the device choice,
 * the speaker volume and the calibration in force (StationFacts.h). False
 * with `error` set when the workbook could not be written.
 */
bool WriteStationRows(store::Database& db, const QString& resultPath, const QString& stationFolder,
                      const QString& stationName, std::optional<int> volume, std::time_t now,
                      QString* error);

/**
 * The registration rows that open a session's result workbook (sheet
 * "Result", header "a" ... "g"), the time as "%Y-%m-%d %H:%M:%S". The Data
 * folder is made when missing. False with `error` set when the workbook
 * could not be written; an existing workbook is appended to.
 */
bool WriteRegistrationRows(const QString& resultPath, const CInformation::Entries& entries,
                           std::time_t now, QString* error);

/**
 * "聴力検査": the subject's front end, run modally at start-up. "練習" runs
 * the vowel test's practice; "テスト開始" leads through the entry form, the
 * directions and the measured vowel test, each a modeless window handing
 * over to the next. The panel is hidden while they are up and shown again
 * when the session ends (a close box confirmed, or the test closed after
 * its end); the three windows are then destroyed.
 *
 * It stays above other windows; closing it asks "Really want to quit?"
 * and ends the program.
 */
class CMainTestPanel final : public QDialog {
    Q_OBJECT

  public:
    struct Services {
        store::Database& db;
        Prompter& prompter;
        /** The test's sound output; null when the program has none. */
        audio::SoundOutput* sound;
        audio::WaitClock& clock;  ///< answers, waits and the registration time
        CrtRandom& random;
        QString stationFolder;     ///< scenarios, "headphone.jpg" and Data/
        Timers* timers = nullptr;  ///< the test's waits; null: the event loop's
        /** The speaker volume the "Station" sheet records; null: the ALSA
         *  mixer's. */
        std::function<std::optional<int>()> speakerVolume = {};
        QString stationName = {};  ///< whose calibration applies; empty: this machine's name
    };

    static inline const QString kQuitQuestion = QStringLiteral("Really want to quit?");
    static inline const QString kSessionEndQuestion =
        QStringLiteral("テストがまだ終わりません，\n 確かに終了しますか?");

    explicit CMainTestPanel(const Services& services, QWidget* parent = nullptr);
    ~CMainTestPanel() override;

    // The session's windows; null when they do not exist.
    CInformation* EntryForm() const { return entryForm_; }
    CAutoTest6* SessionTest() const { return sessionTest_; }
    CDirections* SessionDirections() const;
    /** The result workbook of the session running ("" before registration). */
    QString ResultPath() const { return resultPath_; }

    void StartPractice();
    void StartSession();

    /** The close box (and Escape): ask, then close. */
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnRegistered(qint64 subjectId);
    void OnBackToPanel();
    void OnBackToEntryForm();
    void EndSession();
    VowelTestServices TestServices() const;
    bool SoundAvailable();
    /** The measured scenario for that age can run; otherwise says why. */
    bool SessionScenarioUsable(int age);

    Services services_;
    QPointer<CInformation> entryForm_;
    QPointer<CAutoTest6> sessionTest_;
    QString resultPath_;
    QPushButton* practiceButton_ = nullptr;
    QPushButton* sessionButton_ = nullptr;
};

}  // namespace kestrune::app
