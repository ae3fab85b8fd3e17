#include "app/SignalDialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Choosers.h"
#include "app/DialogButtons.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

CIntegerFields::CIntegerFields(const QString& title, const std::vector<Field>& fields,
                               const QString& note, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    grid_ = new QGridLayout(this);
    int row = 0;
    for (const Field& field : fields) {
        auto* edit = new QLineEdit(QString::asprintf("%d", field.value), this);
        edit->setObjectName(QString::fromLatin1(field.objectName));
        grid_->addWidget(new QLabel(QString::fromUtf8(field.label), this), row, 0);
        grid_->addWidget(edit, row++, 1);
        edits_.push_back(edit);
    }
    if (!note.isEmpty()) grid_->addWidget(new QLabel(note, this), row++, 0, 1, 2);
    grid_->addWidget(OkCancelBox(this, Qt::Vertical), 0, 3, row, 1, Qt::AlignTop);
    grid_->setSizeConstraint(QLayout::SetFixedSize);
}

int CIntegerFields::Value(int i) const {
    return LeadingInt(edits_.at(static_cast<std::size_t>(i))->text().toStdString());
}

CSinGenerator::CSinGenerator(const generators::SineSettings& s, QWidget* parent)
    : CIntegerFields(QStringLiteral("正弦信号を作る"),
                     {{"前の時間", "beforeEdit", s.before},
                      {"初めの周波数", "beginHzEdit", s.beginHz},
                      {"初めの続ける時間", "beginHoldEdit", s.beginHold},
                      {"変化時間", "changeTimeEdit", s.changeTime},
                      {"終わりの周波数", "endHzEdit", s.endHz},
                      {"終わりの続ける時間", "endHoldEdit", s.endHold},
                      {"後の時間", "afterEdit", s.after}},
                     {}, parent) {}

generators::SineSettings CSinGenerator::Settings() const {
    return {Value(0), Value(1), Value(2), Value(3), Value(4), Value(5), Value(6)};
}

CMixGenerator::CMixGenerator(const generators::MixSettings& s, FileChooser& iniFiles,
                             QWidget* parent)
    : CIntegerFields(QStringLiteral("合成音声を作る"),
                     {{"前の時間", "beforeEdit", s.before},
                      {"間隔(s)", "intervalEdit", s.interval},
                      {"後の時間", "afterEdit", s.after},
                      {"再生の回数", "playsEdit", s.plays}},
                     {}, parent) {
    description_ = new QLineEdit(QString::fromStdString(s.descriptionPath), this);
    description_->setObjectName(QStringLiteral("descriptionEdit"));
    description_->setMinimumWidth(320);
    auto* choose = new QPushButton(QStringLiteral("設定ファイル"), this);
    choose->setObjectName(QStringLiteral("descriptionButton"));
    connect(choose, &QPushButton::clicked, this, [this, &iniFiles] {
        const QString path = iniFiles.ChooseOpenPath(this);
        if (!path.isEmpty()) description_->setText(path);
    });
    const int row = Grid()->rowCount();
    Grid()->addWidget(choose, row, 0);
    Grid()->addWidget(description_, row, 1);
}

generators::MixSettings CMixGenerator::Settings() const {
    return {.before = Value(0),
            .interval = Value(1),
            .after = Value(2),
            .descriptionPath = description_->text().toStdString(),
            .plays = Value(3)};
}

CFilterBounds::CFilterBounds(const QString& title, const char* lowLabel, const char* highLabel,
                             int low, int high, QWidget* parent)
    : CIntegerFields(title, {{lowLabel, "lowEdit", low}, {highLabel, "highEdit", high}},
                     QStringLiteral("（注意:　ゼロは　限定すないが意味する）"), parent) {}

CTimeDomainFilter::CTimeDomainFilter(int low, int high, QWidget* parent)
    : CFilterBounds(QStringLiteral("時間領域のフィルタ"), "始める振幅", "止める振幅", low, high,
                    parent) {}

CFreDomainFilter::CFreDomainFilter(int low, int high, QWidget* parent)
    : CFilterBounds(QStringLiteral("周波数領域のフィルタ"), "始める周波数", "止める周波数", low,
                    high, parent) {}

}  // namespace kestrune::app
