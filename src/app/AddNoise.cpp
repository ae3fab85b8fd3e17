#include "app/AddNoise.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/DialogButtons.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

CAddNoise::CAddNoise(float amplitude, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("雑音を加える"));

    amplitudeEdit_ = new QLineEdit(QString::asprintf("%f", amplitude), this);
    amplitudeEdit_->setObjectName(QStringLiteral("amplitudeEdit"));
    typeList_ = new QComboBox(this);
    typeList_->setObjectName(QStringLiteral("noiseTypeList"));
    typeList_->addItem(QStringLiteral("Gauss"));
    typeList_->setCurrentIndex(0);

    const auto [ok, cancel] = OkCancelButtons<QDialog>(this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("雑音振幅"), this), 0, 0);
    layout->addWidget(amplitudeEdit_, 0, 1);
    layout->addWidget(ok, 0, 2);
    layout->addWidget(new QLabel(QStringLiteral("雑音種類"), this), 1, 0);
    layout->addWidget(typeList_, 1, 1);
    layout->addWidget(cancel, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

float CAddNoise::Amplitude() const {
    return static_cast<float>(LeadingReal(amplitudeEdit_->text().toStdString()));
}

}  // namespace kestrune::app
