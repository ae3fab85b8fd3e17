#include "app/analysis/TrainingAnalysis.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>

#include "app/Prompter.h"
#include "app/analysis/AnalysisFields.h"
#include "core/analysis/Training.h"
#include "store/IntermittentQueries.h"

namespace kestrune::app {
namespace {

// The outputs: object name of the edit, in the table's column order.
constexpr const char* kOutputNames[] = {
    "subjectNameEdit", "separationThresholdEdit", "hearingThresholdEdit", "separationTimeEdit",
    "hearingTimeEdit", "notSeparationTimeEdit",   "notHearingTimeEdit",
};

}  // namespace

CTrainingAnalysis::CTrainingAnalysis(store::Database& db, Prompter& prompter, QWidget* parent)
    : QDialog(parent), db_(db), prompter_(prompter) {
    setObjectName(QStringLiteral("CTrainingAnalysis"));
    setWindowTitle(QStringLiteral("Training result analysis"));
    subjectId_ = NamedEdit(this, "subjectIdEdit", false);
    step_ = NamedEdit(this, "testStepEdit", false);
    const auto [confirm, close] = ConfirmCloseButtons(this, &CTrainingAnalysis::Analyse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Subject ID"), this), 0, 0);
    grid->addWidget(subjectId_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Test step(dB)"), this), 1, 0);
    grid->addWidget(step_, 1, 1);
    // The labels are the table's captions, so the window and the command line agree.
    const std::vector<std::string>& captions = analysis::TrainingCaptions();
    int row = 2;
    for (std::size_t i = 0; i < captions.size() && i < std::size(kOutputNames); ++i, ++row) {
        outputs_.push_back(NamedEdit(this, kOutputNames[i], true));
        grid->addWidget(new QLabel(QString::fromStdString(captions[i]), this), row, 0);
        grid->addWidget(outputs_.back(), row, 1);
    }
    grid->addWidget(confirm, 0, 2);
    grid->addWidget(close, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CTrainingAnalysis::Analyse() {
    std::int64_t subject = 0;
    int step = 0;
    std::string error;
    if (!analysis::ReadTrainingParameters(subjectId_->text().toStdString(),
                                          step_->text().toStdString(), &subject, &step, &error)) {
        prompter_.Message(this, QString::fromStdString(error));
        return;
    }
    const auto inputs = store::ReadTrainingInputs(db_, subject, step);
    if (!inputs.Ok()) {
        ShowFirstRow(outputs_, {});
        prompter_.Message(this, inputs.error->Text());
        return;
    }
    const analysis::TrainingOutcome outcome = analysis::AnalyseTraining(inputs.value, step);
    ShowFirstRow(outputs_, outcome.table);
    // One box for all the pairs that could not be used, rather than one each.
    QStringList lines;
    for (const std::string& message : outcome.messages) lines << QString::fromStdString(message);
    if (!lines.isEmpty()) prompter_.Message(this, lines.join(QLatin1Char('\n')));
}

}  // namespace kestrune::app
