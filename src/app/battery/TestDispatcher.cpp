#include "app/battery/TestDispatcher.h"

#include "app/Prompter.h"
#include "app/battery/AutoTest2.h"
#include "app/battery/AutoTest3.h"
#include "app/battery/AutoTest4.h"
#include "app/battery/AutoTest5.h"
#include "app/battery/AutoTest7.h"
#include "app/battery/AutoTest8.h"
#include "audio/WaitClock.h"
#include "core/battery/Stimulus.h"
#include "core/registry/Mappings.h"
#include "store/Database.h"
#include "store/Registry.h"

namespace kestrune::app {

void UnavailableTestDispatcher::Run(TestKind, const TestStart&, QWidget* parent) {
    // Every test exists; what is missing is the sound system.
    prompter_.Message(parent, QString::fromUtf8(kAudioOutputErrorMessage));
}

}  // namespace kestrune::app

namespace kestrune::app {

namespace {

/** Runs a test dialog that needs only the subject, the self-evaluation and
 *  the scenario. */
template <typename Dialog>
void RunModalTest(const VowelTestServices& services, const TestStart& start, QWidget* parent) {
    Dialog dialog(services, {start.subjectId, start.selfEvaluation, start.scenarioPath}, parent);
    if (dialog.Loaded()) dialog.RunModal();
}

}  // namespace

void BatteryTestDispatcher::Run(TestKind type, const TestStart& start, QWidget* parent) {
    switch (type) {
        case TestKind::SentenceRecognition:
            RunModalTest<CAutoTest2>(services_, start, parent);
            return;
        case TestKind::TimeListening:
            RunModalTest<CAutoTest3>(services_, start, parent);
            return;
        case TestKind::InterruptedSpeech:
            RunModalTest<CAutoTest4>(services_, start, parent);
            return;
        case TestKind::SyllableMasking:
            RunModalTest<CAutoTest5>(services_, start, parent);
            return;
        case TestKind::AudioPresentation: {
            // The presentation panel plays a list; it stores no answers.
            CAutoTest8 dialog(services_, start.scenarioPath, parent);
            if (dialog.Loaded()) dialog.RunModal();
            return;
        }
        case TestKind::SpeededSyllable:
            RunModalTest<CAutoTest7>(services_, start, parent);
            return;
        case TestKind::VowelDiscrimination:
            break;
    }
    VowelTestSetup setup;
    setup.subjectId = start.subjectId;
    setup.selfEvaluation = start.selfEvaluation;
    setup.scenarioPath = start.scenarioPath;
    // The registry keeps the year of birth; the evaluation needs the age.
    store::SubjectRegistry registry(services_.db);
    const auto subject = registry.Load(start.subjectId);
    if (!subject.Ok())
        services_.prompter.Message(parent, subject.error->Text());
    else if (subject.value)
        setup.age = AgeForBirthYear(LocalYear(services_.clock.Now()), subject.value->birthYear);
    CAutoTest6 dialog(services_, setup, parent);
    if (dialog.Loaded()) dialog.RunModal();
}

}  // namespace kestrune::app
