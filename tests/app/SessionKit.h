// A small station for the subject's session and a scripted subject who
// goes through it: the five vowel recordings, two instruction pictures and
// the three scenarios the session panel reads, and helpers that register,
// read the directions and answer trials through the real windows.
#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/MainTestPanel.h"
#include "app/Timers.h"
#include "app/battery/Directions.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

namespace kestrune::app::testing {

/** What a vowel test plays on: the virtual output on a manual clock, the
 *  dialogs' waits on manual timers that run freely (a whole run passes in
 *  no real time, its steps in order) and the random generator. */
struct SoundBench {
    audio::ManualWaitClock clock{1'700'000'000, 10'000};
    audio::VirtualOutput output{clock};
    CrtRandom random;
    ManualTimers timers;
    SoundBench() { timers.SetRunFreely(true); }
};

inline constexpr int kKitSamples = 400;  // 50 ms at 8000 Hz
inline constexpr int kKitVolume = 55;

/** Vowel v (0 ... 4) is a constant wave of (v + 1) * 1000. */
inline int KitVowelValue(int v) {
    return (v + 1) * 1000;
}

/** Pair (masking, masked) -> (BEGIN, END); every other pair is closed. */
using KitPairs = std::map<std::pair<int, int>, std::pair<int, int>>;

/** The measured scenario's pairs; INTERVAL -5, one miss tolerated. */
inline const KitPairs& KitMeasuredPairs() {
    static const KitPairs pairs{
        {{0, 0}, {0, -20}}, {{0, 1}, {-5, -20}}, {{2, 3}, {0, -10}}, {{4, 4}, {10, -10}}};
    return pairs;
}

inline bool WriteKitFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

/** A vowel scenario in the station's legacy form: backslash folders;
 *  `extra` goes into [DATA]. */
inline QByteArray KitScenario(
    const QString& folder, const char* type, const KitPairs& open, int rests,
    const QString& extra = QStringLiteral("MISSPERMISSION=1\r\nBEEP=1\r\n")) {
    const QString native = QString(folder).replace(QLatin1Char('/'), QLatin1Char('\\'));
    QString text = QStringLiteral(
                       "[INFO]\r\nTESTTYPE=NEWSYLLABLEMASKING\r\nTOTAL=1\r\n"
                       "PICTUREPATH=%1\\pics\\\r\nPICTURENUMBER=2\r\nFILEPATH=%1\\sound\\\r\n"
                       "[DATA]\r\nVOLUME=%2\r\nINTERVAL=-5\r\nTYPE=%3\r\n"
                       "RESTPERMISSION=%4\r\nONEPLAYTIMES=1\r\nTWOPLAYTIMES=2\r\n%5")
                       .arg(native)
                       .arg(kKitVolume)
                       .arg(QString::fromLatin1(type))
                       .arg(rests)
                       .arg(extra);
    for (int i = 0; i < 5; ++i) {
        text += QStringLiteral("[DATA%1]\r\n").arg(i + 1);
        for (int j = 0; j < 5; ++j) {
            const auto found = open.find({i, j});
            const auto [begin, end] = found == open.end() ? std::pair{-30, -20} : found->second;
            text += QStringLiteral("BEGIN%1=%2\r\nEND%1=%3\r\n").arg(j + 1).arg(begin).arg(end);
        }
    }
    return text.toUtf8();
}

/**
 * Writes the station: sound/1.wav ... 5.wav, pics/pic1.bmp and pic2.bmp,
 * "config1.ini" (TEST, the measured pairs, two rests), "config2.ini" (the
 * same as TRY) and "configtry.ini" (TRY, two easy pairs). False when a file
 * could not be written.
 */
inline bool WriteSessionKit(const QString& folder) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("sound")) || !dir.mkpath(QStringLiteral("pics"))) return false;
    for (int v = 0; v < 5; ++v) {
        std::vector<std::uint8_t> bytes(kKitSamples * 2);
        const auto u = static_cast<std::uint16_t>(KitVowelValue(v));
        for (int n = 0; n < kKitSamples; ++n) {
            bytes[2 * n] = static_cast<std::uint8_t>(u & 0xFF);
            bytes[2 * n + 1] = static_cast<std::uint8_t>(u >> 8);
        }
        const QString path = dir.filePath(QStringLiteral("sound/%1.wav").arg(v + 1));
        if (!WriteWaveFile(path.toStdString(), PcmFormat(1, 8000, 16), bytes.data(), kKitSamples))
            return false;
    }
    for (int p = 1; p <= 2; ++p) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(p == 1 ? Qt::darkBlue : Qt::darkGreen);
        if (!picture.save(dir.filePath(QStringLiteral("pics/pic%1.bmp").arg(p)), "BMP"))
            return false;
    }
    const KitPairs practice{{{1, 1}, {0, -5}}, {{1, 2}, {0, -5}}};
    return WriteKitFile(dir.filePath(QStringLiteral("config1.ini")),
                        KitScenario(folder, "TEST", KitMeasuredPairs(), 2)) &&
           WriteKitFile(dir.filePath(QStringLiteral("config2.ini")),
                        KitScenario(folder, "TRY", KitMeasuredPairs(), 2)) &&
           WriteKitFile(dir.filePath(QStringLiteral("configtry.ini")),
                        KitScenario(folder, "TRY", practice, 0));
}

template <typename T = QPushButton>
T* Find(const QWidget* window, const char* name) {
    return window == nullptr ? nullptr : window->findChild<T*>(QString::fromLatin1(name));
}

/** Clicks a named button once it is there, visible and enabled. */
inline bool ClickWhenReady(const QWidget* window, const char* name, int timeoutMs = 10000) {
    QPushButton* button = nullptr;
    const bool ready = QTest::qWaitFor(
        [&] {
            button = Find(window, name);
            return button != nullptr && button->isVisible() && button->isEnabled();
        },
        timeoutMs);
    if (ready) QTest::mouseClick(button, Qt::LeftButton);
    return ready;
}

/** The subject at the entry form: the name typed (a real keyboard, so any
 *  character), the age on the form's digit keys, then "次へ　＞". */
inline bool RegisterSubject(CMainTestPanel& panel, const QString& name, int age) {
    CInformation* form = panel.EntryForm();
    if (form == nullptr || !form->isVisible()) return false;
    auto* nameEdit = Find<QLineEdit>(form, "nameEdit");
    auto* ageEdit = Find<QLineEdit>(form, "ageEdit");
    nameEdit->clear();
    ageEdit->clear();
    QTest::keyClicks(nameEdit, name);
    for (const QChar digit : QString::number(age)) {
        const QByteArray key = "digit" + QByteArray(1, static_cast<char>(digit.unicode()));
        if (!ClickWhenReady(form, key.constData())) return false;
    }
    return ClickWhenReady(form, "nextButton");
}

/** The session panel on the station folder, playing on the bench (or on
 *  `sound`, with the bench's clock). */
inline std::unique_ptr<CMainTestPanel> MakePanel(store::Database& db, Prompter& prompter,
                                                 SoundBench& bench, const QString& folder,
                                                 audio::SoundOutput* sound = nullptr) {
    return std::make_unique<CMainTestPanel>(
        CMainTestPanel::Services{.db = db,
                                 .prompter = prompter,
                                 .sound = sound != nullptr ? sound : &bench.output,
                                 .clock = bench.clock,
                                 .random = bench.random,
                                 .stationFolder = folder,
                                 .timers = &bench.timers});
}

/** A scripted listener: hears the masked vowel of a pair down to its
 *  threshold (dB) and answers "わからない" below it. */
struct Listener {
    std::map<std::pair<int, int>, int> thresholds;
    int responseMs = 1650;  ///< from the start of the stimulus to the answer

    bool Hears(int masking, int masked, int level) const {
        const auto found = thresholds.find({masking, masked});
        return found != thresholds.end() && level >= found->second;
    }
};

/** Hears あ under あ down to -12 dB, い under あ always, え under う never,
 *  お under お down to -7 dB. */
inline const Listener kKitListener{{{{0, 0}, -12}, {{0, 1}, -100}, {{2, 3}, 50}, {{4, 4}, -7}}};

/** What one answer was given to. */
struct Trial {
    int masking = -1;
    int masked = -1;
    int level = 0;
    bool heard = false;
    int firstSample = 0;  ///< the first sample of the stimulus that reached the output
};

/**
 * Waits for the next trial, lets the stimulus play for the listener's
 * response time on the manual clock, and answers through the buttons. The
 * pair is read from the test only to look up the listener's threshold.
 * False when no trial came.
 */
inline bool AnswerTrial(CAutoTest6& test, audio::ManualWaitClock& clock,
                        const audio::VirtualOutput& output, const Listener& listener,
                        Trial* trial) {
    if (!QTest::qWaitFor(
            [&] {
                auto* confirm = Find(&test, "confirmButton");
                return confirm->isEnabled() && test.Playing();
            },
            10000))
        return false;
    if (!clock.WaitForSleepers(1)) return false;  // the worker has queued the stimulus
    clock.AdvanceMs(static_cast<std::uint64_t>(listener.responseMs));
    const int pair = test.Session()->CurrentPair();
    trial->masking = pair / 5;
    trial->masked = pair % 5;
    trial->level = test.Session()->Pairs()[static_cast<std::size_t>(pair)].level;
    trial->heard = listener.Hears(trial->masking, trial->masked, trial->level);
    const auto heard = output.Heard();
    trial->firstSample = heard.empty() ? 0 : heard.back().Sample(0);
    static const char* const kVowelButtons[] = {"vowelA", "vowelI", "vowelU", "vowelE", "vowelO"};
    if (!trial->heard) return ClickWhenReady(&test, "dontKnowButton");
    if (!ClickWhenReady(&test, kVowelButtons[trial->masking])) return false;
    if (trial->masking == trial->masked) return ClickWhenReady(&test, "singleButton");
    return ClickWhenReady(&test, kVowelButtons[trial->masked]) &&
           ClickWhenReady(&test, "confirmButton");
}

}  // namespace kestrune::app::testing
