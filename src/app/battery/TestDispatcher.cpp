#include "app/battery/TestDispatcher.h"

#include "app/Prompter.h"
#include "store/Database.h"

namespace kestrune::app {

QString TestTypeName(TestKind kind) {
    const std::string_view value = TestTypeValue(kind);
    return QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
}

void UnavailableTestDispatcher::Run(TestKind type, const TestStart&, QWidget* parent) {
    prompter_.Message(
        parent, TestTypeName(type) + QStringLiteral(" tests are not available in this version"));
}

}  // namespace kestrune::app

namespace kestrune::app {

void BatteryTestDispatcher::Run(TestKind type, const TestStart& start, QWidget* parent) {
    if (type != TestKind::VowelDiscrimination) {
        unavailable_.Run(type, start, parent);
        return;
    }
    VowelTestSetup setup;
    setup.subjectId = start.subjectId;
    setup.selfEvaluation = start.selfEvaluation;
    setup.scenarioPath = start.scenarioPath;
    const auto age = services_.db.Query(
        {QStringLiteral("SELECT IIAge FROM IndividualInfo WHERE IIID = ?"), {start.subjectId}});
    if (!age.Ok())
        services_.prompter.Message(parent, age.error->Text());
    else if (!age.value.empty())
        setup.age = static_cast<int>(age.value.front().Int(QStringLiteral("IIAge")));
    CAutoTest6 dialog(services_, setup, parent);
    if (dialog.Loaded()) dialog.exec();
}

}  // namespace kestrune::app
