#pragma once

#include <QString>

#include "app/battery/AutoTest6.h"
#include "core/battery/Scenario.h"

class QWidget;

namespace kestrune::app {

class Prompter;

/** What the launcher hands to every test it starts. */
struct TestStart {
    int subjectId = 0;       ///< IIID of the subject
    QString scenarioPath;    ///< the scenario file as given
    int selfEvaluation = 0;  ///< 1 "非常によい" ... 5 "非常によくない"
};

/**
 * Runs the test dialog of a type modally and returns when it has closed.
 * The launcher holds one; tests give it a recording fake.
 */
class TestDispatcher {
  public:
    virtual ~TestDispatcher() = default;
    virtual void Run(TestKind type, const TestStart& start, QWidget* parent) = 0;
};

/**
 * The dispatcher of a program without a sound system: every test type is
 * answered with "Audio output error!", as the session panel does.
 */
class UnavailableTestDispatcher final : public TestDispatcher {
  public:
    explicit UnavailableTestDispatcher(Prompter& prompter) : prompter_(prompter) {}
    void Run(TestKind type, const TestStart& start, QWidget* parent) override;

  private:
    Prompter& prompter_;
};

/**
 * The dispatcher of the built test dialogs: SentenceRecognition runs
 * CAutoTest2, TimeListening CAutoTest3, InterruptedSpeech CAutoTest4,
 * SyllableMasking CAutoTest5, SpeededSyllable CAutoTest7,
 * AudioPresentation CAutoTest8 and VowelDiscrimination CAutoTest6 modally
 * (the vowel test gets the subject's age computed from the year of birth in
 * the subject registry, no result workbook).
 */
class BatteryTestDispatcher final : public TestDispatcher {
  public:
    explicit BatteryTestDispatcher(const VowelTestServices& services)
        : services_(services), unavailable_(services.prompter) {}
    void Run(TestKind type, const TestStart& start, QWidget* parent) override;

  private:
    VowelTestServices services_;
    UnavailableTestDispatcher unavailable_;
};

}  // namespace kestrune::app
