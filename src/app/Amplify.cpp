#include "app/Amplify.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/DialogButtons.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

CAmplify::CAmplify(float kept, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("音声を増幅する"));
    amplification_ = new QLineEdit(QString::asprintf("%f", static_cast<double>(kept)), this);
    amplification_->setObjectName(QStringLiteral("amplificationEdit"));
    QDialogButtonBox* buttons = OkCancelBox(this, Qt::Vertical);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("増幅倍数"), this), 0, 0);
    grid->addWidget(amplification_, 0, 1);
    grid->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
    grid->setRowStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

double CAmplify::Amplification() const {
    return LeadingReal(amplification_->text().toStdString());
}

}  // namespace kestrune::app
