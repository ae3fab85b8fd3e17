#include "app/analysis/IntermittentAnalyse.h"

#include <QGridLayout>
#include <QLabel>

#include "app/Prompter.h"
#include "app/analysis/AnalysisFields.h"
#include "core/analysis/Intermittent.h"
#include "store/IntermittentQueries.h"

namespace kestrune::app {

CIntermittentAnalyse::CIntermittentAnalyse(store::Database& db, Prompter& prompter, QWidget* parent)
    : QDialog(parent), db_(db), prompter_(prompter) {
    setObjectName(QStringLiteral("CIntermittentAnalyse"));
    setWindowTitle(QStringLiteral("Intermittent結果の解析"));
    dutyCycle_ = NamedEdit(this, "dutyCycleEdit", false);
    yearFrom_ = NamedEdit(this, "yearFromEdit", false);
    yearTo_ = NamedEdit(this, "yearToEdit", false);
    total_ = NamedEdit(this, "totalEdit", true);
    correct_ = NamedEdit(this, "correctEdit", true);
    rate_ = NamedEdit(this, "correctRateEdit", true);
    const auto [confirm, close] = ConfirmCloseButtons(this, &CIntermittentAnalyse::Analyse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Duty cycle"), this), 0, 0);
    grid->addWidget(dutyCycle_, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Year band(西暦)"), this), 1, 0);
    grid->addWidget(yearFrom_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("～"), this), 1, 2);
    grid->addWidget(yearTo_, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Total"), this), 2, 0);
    grid->addWidget(total_, 2, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Correct"), this), 3, 0);
    grid->addWidget(correct_, 3, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Correct rate"), this), 4, 0);
    grid->addWidget(rate_, 4, 1, 1, 3);
    grid->addWidget(confirm, 0, 4);
    grid->addWidget(close, 1, 4);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CIntermittentAnalyse::Analyse() {
    const std::vector<QLineEdit*> outputs{total_, correct_, rate_};
    analysis::IntermittentFilter filter;
    std::string error;
    if (!analysis::ReadIntermittentFilter(dutyCycle_->text().toStdString(),
                                          yearFrom_->text().toStdString(),
                                          yearTo_->text().toStdString(), &filter, &error)) {
        prompter_.Message(this, QString::fromStdString(error));
        return;
    }
    const auto trials = store::ReadIntermittentTrials(db_, filter);
    if (!trials.Ok()) {
        ShowFirstRow(outputs, {});
        prompter_.Message(this, trials.error->Text());
        return;
    }
    const analysis::RecognitionCount count = analysis::CountRecognised(trials.value);
    ShowFirstRow(outputs, analysis::IntermittentTable(count));
    if (count.total == 0) prompter_.Message(this, QLatin1String(analysis::kNoResultCollected));
}

}  // namespace kestrune::app
