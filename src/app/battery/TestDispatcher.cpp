#include "app/battery/TestDispatcher.h"

#include "app/Prompter.h"
#include "app/battery/AutoTest2.h"
#include "app/battery/AutoTest7.h"
#include "audio/WaitClock.h"
#include "core/battery/Stimulus.h"
#include "core/registry/Mappings.h"
#include "store/Database.h"
#include "store/Registry.h"

namespace kestrune::app {

QString TestTypeName(TestKind kind) {
    const std::string_view value = TestTypeValue(kind);
    return QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
}

void UnavailableTestDispatcher::Run(TestKind type, const TestStart&, QWidget* parent) {
    if (type == TestKind::VowelDiscrimination || type == TestKind::SentenceRecognition ||
        type == TestKind::SpeededSyllable) {
        // The test exists; what is missing is the sound system.
        prompter_.Message(parent, QString::fromUtf8(kAudioOutputErrorMessage));
        return;
    }
    prompter_.Message(
        parent, TestTypeName(type) + QStringLiteral(" tests are not available in this version"));
}

}  // namespace kestrune::app

namespace kestrune::app {

void BatteryTestDispatcher::Run(TestKind type, const TestStart& start, QWidget* parent) {
    if (type == TestKind::SentenceRecognition) {
        CAutoTest2 dialog(services_, {start.subjectId, start.selfEvaluation, start.scenarioPath},
                          parent);
        if (dialog.Loaded()) dialog.RunModal();
        return;
    }
    if (type == TestKind::SpeededSyllable) {
        CAutoTest7 dialog(services_, {start.subjectId, start.selfEvaluation, start.scenarioPath},
                          parent);
        if (dialog.Loaded()) dialog.RunModal();
        return;
    }
    if (type != TestKind::VowelDiscrimination) {
        unavailable_.Run(type, start, parent);
        return;
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
