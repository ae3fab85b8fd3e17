#include "app/SetParameters.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>

#include "app/DialogButtons.h"
#include "app/Timers.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

namespace {

// Numbers go into the edits as "%f" texts and are read back as atof reads
// them: text that is no number reads as 0.
QString Fixed(double value) {
    return QString::asprintf("%f", value);
}

double Read(const QLineEdit* edit) {
    return LeadingReal(edit->text().toStdString());
}

QLineEdit* NumberEdit(const char* name, float value, QWidget* parent) {
    auto* edit = new QLineEdit(Fixed(value), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

}  // namespace

CDutyLegend::CDutyLegend(QWidget* parent) : QWidget(parent) {
    setFixedSize(120, 48);
}

void CDutyLegend::Draw(int32_t type, float duty) {
    pattern_ = std::make_pair(type, duty);
    update();
}

void CDutyLegend::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!pattern_) return;
    const int width = this->width();
    const int high = 8;
    const int low = height() - 8;
    painter.setPen(QPen(Qt::magenta, 1));
    painter.drawLine(0, low, width, low);

    // One period across the whole width: up while it sounds, down while silenced.
    const auto runs = edits::SilencedRuns(width, pattern_->second, pattern_->first);
    auto level = [&](int x) {
        for (const edits::Run& run : runs)
            if (x >= run.begin && x < run.end) return low;
        return high;
    };
    QPolygon line;
    for (int x = 0; x < width; ++x) {
        if (x == 0 || level(x) != level(x - 1)) {
            if (x > 0) line << QPoint(x, level(x - 1));
            line << QPoint(x, level(x));
        }
    }
    line << QPoint(width, level(width - 1));
    painter.setPen(QPen(Qt::yellow, 2));
    painter.drawPolyline(line);
}

CSetParameters::CSetParameters(const edits::DutySettings& kept, Timers& timers, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("パラメタを設定"));
    period_ = NumberEdit("periodEdit", kept.periodMs, this);
    duty_ = NumberEdit("dutyEdit", kept.dutyCycle, this);
    speed_ = NumberEdit("speedEdit", kept.playbackSpeed, this);
    periodType_ = new QComboBox(this);
    periodType_->setObjectName(QStringLiteral("periodTypeList"));
    periodType_->addItems(
        {QStringLiteral("Left"), QStringLiteral("Middle"), QStringLiteral("Right")});
    periodType_->setCurrentIndex(kept.periodType);
    legend_ = new CDutyLegend(this);
    legend_->setObjectName(QStringLiteral("legend"));
    periodText_ = new QLabel(this);
    periodText_->setObjectName(QStringLiteral("periodText"));

    QDialogButtonBox* buttons = OkCancelBox(this, Qt::Vertical);

    auto* grid = new QGridLayout(this);
    auto row = [&](int r, const QString& label, QWidget* field, const QString& unit) {
        grid->addWidget(new QLabel(label, this), r, 0);
        grid->addWidget(field, r, 1);
        if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, this), r, 2);
    };
    row(0, QStringLiteral("周期"), period_, QStringLiteral("ms"));
    row(1, QStringLiteral("負荷サイクル"), duty_, {});
    row(2, QStringLiteral("周期の種類"), periodType_, {});
    row(3, QStringLiteral("再生速度"), speed_, QStringLiteral("time(s)"));
    grid->addWidget(legend_, 4, 0, 1, 2);
    grid->addWidget(periodText_, 4, 2);
    grid->addWidget(buttons, 0, 3, 5, 1, Qt::AlignTop);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(duty_, &QLineEdit::editingFinished, this, [this] {
        KeepDutyInRange();
        RedrawLegend();
    });
    connect(period_, &QLineEdit::editingFinished, this, [this] {
        KeepPeriodInRange();
        RedrawLegend();
    });
    connect(speed_, &QLineEdit::editingFinished, this, &CSetParameters::RedrawLegend);
    connect(periodType_, &QComboBox::activated, this, &CSetParameters::RedrawLegend);
    firstDrawing_ = timers.Make([this] { RedrawLegend(); });
    firstDrawing_->Start(100);
}

CSetParameters::~CSetParameters() = default;

void CSetParameters::KeepDutyInRange() {
    const double duty = Read(duty_);
    if (duty > 1.0) duty_->setText(Fixed(1.0));
    if (duty < 0.0) duty_->setText(Fixed(0.0));
}

void CSetParameters::KeepPeriodInRange() {
    if (Read(period_) < 0.0) period_->setText(Fixed(0.0));
}

void CSetParameters::RedrawLegend() {
    const edits::DutySettings shown = Settings();
    legend_->Draw(shown.periodType, shown.dutyCycle);
    periodText_->setText(QString::asprintf("%4.3fms", static_cast<double>(shown.periodMs)));
}

edits::DutySettings CSetParameters::Settings() const {
    return {.periodMs = static_cast<float>(Read(period_)),
            .dutyCycle = static_cast<float>(Read(duty_)),
            .periodType = periodType_->currentIndex(),
            .playbackSpeed = static_cast<float>(Read(speed_))};
}

void CSetParameters::accept() {
    // OK by the keyboard may come before an edit lost its focus.
    KeepDutyInRange();
    KeepPeriodInRange();
    QDialog::accept();
}

}  // namespace kestrune::app
