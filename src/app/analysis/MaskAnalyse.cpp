#include "app/analysis/MaskAnalyse.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

#include "app/Choosers.h"
#include "app/Prompter.h"
#include "sheet/SpreadSheet.h"
#include "store/MaskQueries.h"

namespace kestrune::app {

using analysis::MaskAnalysisKind;

const QColor CMaskGraph::kMaskingColor{30, 90, 200};
const QColor CMaskGraph::kMaskedColor{200, 40, 40};
const QColor CMaskGraph::kEffectColor{20, 150, 60};
const QColor CMaskGraph::kBandColor{170, 170, 170};
const QColor CMaskGraph::kAthColor{160, 60, 170};
const QColor CMaskGraph::kPatternColor{0, 0, 0};

namespace {

QString Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return QString::fromUtf8(text);
}

}  // namespace

// ---------------------------------------------------------------- graph

CMaskGraph::CMaskGraph(const MaskDisplay& display, QWidget* parent)
    : QWidget(parent), display_(display) {
    setMouseTracking(true);
    setMinimumSize(560, 300);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

double CMaskGraph::PlotWidth() const {
    return std::max(1, width() - kLeft - kRight);
}
double CMaskGraph::PlotHeight() const {
    return std::max(1, height() - kTop - kBottom);
}
double CMaskGraph::TopBark() const {
    return analysis::HzToBark(static_cast<int>(display_.topHz));
}

double CMaskGraph::XOfHz(double hz) const {
    if (display_.inBark) return XOfBark(analysis::HzToBark(static_cast<int>(hz)));
    return kLeft + PlotWidth() * hz / display_.topHz;
}

double CMaskGraph::XOfBark(double bark) const {
    if (!display_.inBark) return XOfHz(analysis::BarkToHz(bark));
    return kLeft + PlotWidth() * bark / TopBark();
}

double CMaskGraph::YOfDb(double db) const {
    return kTop + PlotHeight() * (kTopDb - db) / (kTopDb - kBottomDb);
}

void CMaskGraph::mouseMoveEvent(QMouseEvent* event) {
    const double fraction = (event->position().x() - kLeft) / PlotWidth();
    const double bark =
        display_.inBark
            ? fraction * TopBark()
            : analysis::HzToBark(static_cast<int>(std::max(0.0, fraction * display_.topHz)));
    const int hz = display_.inBark ? analysis::BarkToHz(bark)
                                   : static_cast<int>(std::max(0.0, fraction * display_.topHz));
    const double db = kTopDb - (event->position().y() - kTop) / PlotHeight() * (kTopDb - kBottomDb);
    emit PointerMoved(bark, hz, db);
}

void CMaskGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF plot(kLeft, kTop, PlotWidth(), PlotHeight());
    painter.setPen(Qt::black);
    painter.drawRect(plot);

    // Level axis: a tick every 10 dB.
    for (int db = -10; db <= 60; db += 10) {
        const double y = YOfDb(db);
        painter.drawLine(QPointF(kLeft - 4, y), QPointF(kLeft, y));
        painter.drawText(QRectF(0, y - 8, kLeft - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(db));
    }
    painter.drawText(QRectF(0, 0, kLeft - 6, 14), Qt::AlignRight, QStringLiteral("dB"));
    // Frequency axis: whole kHz, or whole Bark labelled every second.
    const double axisY = kTop + PlotHeight();
    if (display_.inBark) {
        for (int z = 0; z <= static_cast<int>(TopBark()); ++z) {
            const double x = XOfBark(z);
            painter.drawLine(QPointF(x, axisY), QPointF(x, axisY + 4));
            if (z % 2 == 0)
                painter.drawText(QRectF(x - 15, axisY + 4, 30, 14), Qt::AlignCenter,
                                 QString::number(z));
        }
    } else {
        const int step = display_.topHz > 12000 ? 2000 : 1000;
        for (int hz = 0; hz <= static_cast<int>(display_.topHz); hz += step) {
            const double x = XOfHz(hz);
            painter.drawLine(QPointF(x, axisY), QPointF(x, axisY + 4));
            painter.drawText(QRectF(x - 20, axisY + 4, 40, 14), Qt::AlignCenter,
                             QString::number(hz));
        }
    }
    painter.drawText(QRectF(kLeft, axisY + 18, PlotWidth(), 16), Qt::AlignRight,
                     display_.inBark ? QStringLiteral("Bark") : QStringLiteral("Hz"));

    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto drawBins = [&](const std::vector<double>& levels, const QColor& color) {
        const analysis::MaskSpectra& s = *display_.spectra;
        QPainterPath path;
        for (int k = 0; k < s.binCount && k < static_cast<int>(levels.size()); ++k) {
            const QPointF point(
                XOfHz(s.BinFrequency(k)),
                YOfDb(std::clamp(levels[static_cast<std::size_t>(k)], kBottomDb - 1, kTopDb + 1)));
            k == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        painter.setPen(QPen(color, 1.2));
        painter.drawPath(path);
    };
    const auto drawAth = [&] {
        QPainterPath path;
        for (int x = kLeft; x <= kLeft + static_cast<int>(PlotWidth()); ++x) {
            const double fraction = (x - kLeft) / PlotWidth();
            const int hz = display_.inBark ? analysis::BarkToHz(fraction * TopBark())
                                           : static_cast<int>(fraction * display_.topHz);
            const QPointF point(
                x, YOfDb(std::clamp(analysis::AbsoluteThreshold(hz), kBottomDb - 1, kTopDb + 1)));
            x == kLeft ? path.moveTo(point) : path.lineTo(point);
        }
        painter.setPen(QPen(kAthColor, 1.2, Qt::DashLine));
        painter.drawPath(path);
    };

    if (display_.curvesShown && display_.spectra) {
        const analysis::MaskSpectra& s = *display_.spectra;
        if (display_.showMasking) drawBins(s.maskingLevels, kMaskingColor);
        if (display_.showMasked) drawBins(s.maskedLevels, kMaskedColor);
        if (display_.showEffect) drawBins(s.threshold, kEffectColor);
        if (display_.showBands) {
            painter.setPen(QPen(kBandColor, 1, Qt::DotLine));
            for (const int edge : analysis::kCriticalBandEdges) {
                if (edge > display_.topHz) break;
                painter.drawLine(QPointF(XOfHz(edge), kTop), QPointF(XOfHz(edge), axisY));
            }
        }
        drawAth();
    }
    if (display_.athShown) drawAth();
    if (display_.patternZk) {
        QPainterPath path;
        for (int step = 0; step * 0.2 <= TopBark(); ++step) {
            const double z = step * 0.2;
            const double level =
                analysis::SpreadingFunction(*display_.patternZk, z, display_.patternLevel);
            const QPointF point(XOfBark(z), YOfDb(std::clamp(level, kBottomDb - 1, kTopDb + 1)));
            step == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        painter.setPen(QPen(kPatternColor, 1.5));
        painter.drawPath(path);
    }

    // Legend: a colour bar and a name per curve, top right.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const std::pair<QColor, const char*> legend[] = {{kMaskingColor, "masking"},
                                                     {kMaskedColor, "masked"},
                                                     {kEffectColor, "mask effect"},
                                                     {kBandColor, "critical bands"},
                                                     {kAthColor, "ATH"},
                                                     {kPatternColor, "masking pattern"}};
    double y = kTop + 6;
    const double x = kLeft + PlotWidth() - 130;
    for (const auto& [color, name] : legend) {
        painter.fillRect(QRectF(x, y + 3, 18, 6), color);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x + 24, y - 2, 110, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromUtf8(name));
        y += 15;
    }
}

// ---------------------------------------------------------------- dialog

CMaskAnalyse::CMaskAnalyse(const MaskAnalyseSetup& setup, Prompter& prompter, FileChooser& files,
                           QWidget* parent)
    : QDialog(parent), setup_(setup), prompter_(prompter), files_(files) {
    setWindowTitle(QStringLiteral("Mask analyse"));
    setObjectName(QStringLiteral("maskAnalyse"));
    if (setup_.binWidth > 0) display_.topHz = setup_.frameLength / 2 * setup_.binWidth;
    BuildControls();
    resize(980, 760);
}

CMaskAnalyse::~CMaskAnalyse() {
    if (worker_ != nullptr) {
        cancel_->store(true);
        worker_->wait();
    }
}

void CMaskAnalyse::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    const auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    const auto edit = [this](const QString& text, const char* name, int width = 0) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        if (width > 0) e->setFixedWidth(width);
        return e;
    };

    // The two recordings, their vowels, Browse and Confirm.
    auto* files = new QGridLayout;
    maskingPath_ =
        edit(QString::fromStdString(analysis::VowelPath(setup_.stationDir.toStdString(), 3)),
             "maskingPathEdit");
    maskedPath_ =
        edit(QString::fromStdString(analysis::VowelPath(setup_.stationDir.toStdString(), 2)),
             "maskedPathEdit");
    maskingVowel_ = new QLabel(this);
    maskingVowel_->setObjectName(QStringLiteral("maskingVowelLabel"));
    maskedVowel_ = new QLabel(this);
    maskedVowel_->setObjectName(QStringLiteral("maskedVowelLabel"));
    auto* browseMasking = button(QStringLiteral("Browse"), "maskingBrowseButton");
    auto* browseMasked = button(QStringLiteral("Browse"), "maskedBrowseButton");
    auto* confirm = button(QStringLiteral("Confirm"), "confirmPathsButton");
    files->addWidget(new QLabel(QStringLiteral("Masking"), this), 0, 0);
    files->addWidget(maskingPath_, 0, 1);
    files->addWidget(maskingVowel_, 0, 2);
    files->addWidget(browseMasking, 0, 3);
    files->addWidget(new QLabel(QStringLiteral("Masked"), this), 1, 0);
    files->addWidget(maskedPath_, 1, 1);
    files->addWidget(maskedVowel_, 1, 2);
    files->addWidget(browseMasked, 1, 3);
    files->addWidget(confirm, 0, 4, 2, 1);
    layout->addLayout(files);
    const auto browse = [this](QLineEdit* target) {
        const QString path = files_.ChooseOpenPath(this);
        if (!path.isEmpty()) target->setText(path);
    };
    connect(browseMasking, &QPushButton::clicked, this, [this, browse] { browse(maskingPath_); });
    connect(browseMasked, &QPushButton::clicked, this, [this, browse] { browse(maskedPath_); });
    connect(confirm, &QPushButton::clicked, this, [this] { ConfirmFiles(); });

    // Levels, display toggles, axis and drawing tools.
    auto* tools = new QHBoxLayout;
    auto* loudness = new QGroupBox(QStringLiteral("Audio loudness"), this);
    auto* loudnessLayout = new QGridLayout(loudness);
    maskingLevelEdit_ = edit(QStringLiteral("60"), "maskingLevelEdit", 50);
    maskedLevelEdit_ = edit(QStringLiteral("60"), "maskedLevelEdit", 50);
    for (QLineEdit* level : {maskingLevelEdit_, maskedLevelEdit_})
        level->setValidator(new QIntValidator(-100, 200, level));
    auto* confirmLevels = button(QStringLiteral("Confirm"), "confirmLevelsButton");
    loudnessLayout->addWidget(maskingLevelEdit_, 0, 0);
    loudnessLayout->addWidget(new QLabel(QStringLiteral("dB"), this), 0, 1);
    loudnessLayout->addWidget(maskedLevelEdit_, 1, 0);
    loudnessLayout->addWidget(new QLabel(QStringLiteral("dB"), this), 1, 1);
    loudnessLayout->addWidget(confirmLevels, 2, 0, 1, 2);
    tools->addWidget(loudness);
    connect(confirmLevels, &QPushButton::clicked, this, [this] { ConfirmFiles(); });

    auto* display = new QGridLayout;
    maskingToggle_ = button(QStringLiteral("Hide masking"), "maskingToggle");
    maskedToggle_ = button(QStringLiteral("Hide masked"), "maskedToggle");
    effectToggle_ = button(QStringLiteral("Hide mask effect"), "effectToggle");
    bandsToggle_ = button(QStringLiteral("Hide critical bands"), "bandsToggle");
    showAll_ = button(QStringLiteral("Show all"), "showAllButton");
    display->addWidget(maskingToggle_, 0, 0);
    display->addWidget(maskedToggle_, 0, 1);
    display->addWidget(effectToggle_, 1, 0);
    display->addWidget(bandsToggle_, 1, 1);
    display->addWidget(showAll_, 2, 0);
    connect(maskingToggle_, &QPushButton::clicked, this, [this] {
        Toggle(&MaskDisplay::showMasking, maskingToggle_, QStringLiteral("masking"));
    });
    connect(maskedToggle_, &QPushButton::clicked, this,
            [this] { Toggle(&MaskDisplay::showMasked, maskedToggle_, QStringLiteral("masked")); });
    connect(effectToggle_, &QPushButton::clicked, this, [this] {
        Toggle(&MaskDisplay::showEffect, effectToggle_, QStringLiteral("mask effect"));
    });
    connect(bandsToggle_, &QPushButton::clicked, this, [this] {
        Toggle(&MaskDisplay::showBands, bandsToggle_, QStringLiteral("critical bands"));
    });
    connect(showAll_, &QPushButton::clicked, this, &CMaskAnalyse::ShowAll);
    for (QPushButton* b : {maskingToggle_, maskedToggle_, effectToggle_, bandsToggle_, showAll_})
        b->setEnabled(false);  // until a Confirm has given them something to show
    auto* inHz = button(QStringLiteral("In Hz"), "inHzButton");
    auto* inBark = button(QStringLiteral("In Bark"), "inBarkButton");
    display->addWidget(inHz, 2, 1);
    display->addWidget(inBark, 2, 2);
    connect(inHz, &QPushButton::clicked, this, [this] {
        display_.inBark = false;
        graph_->update();
    });
    connect(inBark, &QPushButton::clicked, this, [this] {
        display_.inBark = true;
        graph_->update();
    });
    auto* pattern = button(QStringLiteral("Show masking pattern"), "patternButton");
    auto* ath = button(QStringLiteral("Show ATH"), "athButton");
    auto* clear = button(QStringLiteral("Clear display"), "clearButton");
    display->addWidget(pattern, 0, 2);
    display->addWidget(ath, 1, 2);
    display->addWidget(clear, 0, 3);
    zk_ = edit(QStringLiteral("10.0"), "zkEdit", 50);
    zkSpin_ = new QDoubleSpinBox(this);
    zkSpin_->setObjectName(QStringLiteral("zkSpin"));
    zkSpin_->setRange(0.0, 24.0);  // the masker anywhere on the Bark scale, in 0.1 steps
    zkSpin_->setDecimals(1);
    zkSpin_->setSingleStep(0.1);
    zkSpin_->setValue(10.0);
    auto* zkRow = new QHBoxLayout;
    zkRow->addWidget(new QLabel(QStringLiteral("Zk"), this));
    zkRow->addWidget(zk_);
    zkRow->addWidget(zkSpin_);
    display->addLayout(zkRow, 1, 3);
    connect(pattern, &QPushButton::clicked, this, &CMaskAnalyse::ShowPattern);
    connect(ath, &QPushButton::clicked, this, [this] {
        display_.athShown = true;
        graph_->update();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        display_.curvesShown = display_.athShown = false;
        display_.patternZk.reset();
        graph_->update();
    });
    connect(zkSpin_, &QDoubleSpinBox::valueChanged, this, &CMaskAnalyse::ZkMoved);
    tools->addLayout(display);

    auto* transform = new QGroupBox(QStringLiteral("Transform"), this);
    auto* transformLayout = new QGridLayout(transform);
    transformIn_ = edit(QString(), "transformInput", 80);
    transformOut_ = edit(QString(), "transformOutput", 80);
    transformOut_->setReadOnly(true);
    hzToBark_ = new QRadioButton(QStringLiteral("Hz to Bark"), transform);
    hzToBark_->setObjectName(QStringLiteral("hzToBarkRadio"));
    hzToBark_->setChecked(true);
    auto* barkToHz = new QRadioButton(QStringLiteral("Bark to Hz"), transform);
    barkToHz->setObjectName(QStringLiteral("barkToHzRadio"));
    auto* transformButton = button(QStringLiteral("Transform"), "transformButton");
    transformLayout->addWidget(hzToBark_, 0, 0);
    transformLayout->addWidget(barkToHz, 0, 1);
    transformLayout->addWidget(transformIn_, 1, 0);
    transformLayout->addWidget(transformOut_, 1, 1);
    transformLayout->addWidget(transformButton, 2, 0, 1, 2);
    connect(transformButton, &QPushButton::clicked, this, &CMaskAnalyse::Transform);
    tools->addWidget(transform);
    layout->addLayout(tools);

    graph_ = new CMaskGraph(display_, this);
    graph_->setObjectName(QStringLiteral("maskGraph"));
    layout->addWidget(graph_, 1);
    position_ = new QLabel(QStringLiteral("Position show"), this);
    position_->setObjectName(QStringLiteral("positionLabel"));
    layout->addWidget(position_);
    connect(graph_, &CMaskGraph::PointerMoved, this, [this](double bark, int hz, double db) {
        position_->setText(Printf("Bark: %2.2f", bark) + QStringLiteral("   Hz: ") +
                           QString::number(hz) + Printf("   dB: %2.2f", db));
    });

    // The analyses: their parameters, buttons, progress and log.
    auto* analyses = new QHBoxLayout;
    ageFrom_ = edit(QStringLiteral("1978"), "ageFromEdit", 60);
    ageTo_ = edit(QStringLiteral("1987"), "ageToEdit", 60);
    subject_ = edit(QString(), "subjectEdit", 60);
    analyses->addWidget(new QLabel(QStringLiteral("Age"), this));
    analyses->addWidget(ageFrom_);
    analyses->addWidget(new QLabel(QStringLiteral("-"), this));
    analyses->addWidget(ageTo_);
    analyses->addWidget(new QLabel(QStringLiteral("ID"), this));
    analyses->addWidget(subject_);
    const std::pair<const char*, const char*> names[] = {{"Average DE", "averageDeButton"},
                                                         {"try b", "tryBButton"},
                                                         {"try a", "tryAButton"},
                                                         {"try deviation", "tryDeviationButton"},
                                                         {"DE", "deButton"}};
    for (int i = 0; i < 5; ++i) {
        QPushButton* b = button(QString::fromLatin1(names[i].first), names[i].second);
        analysisButtons_.push_back(b);
        analyses->addWidget(b);
        connect(b, &QPushButton::clicked, this,
                [this, i] { StartAnalysis(static_cast<MaskAnalysisKind>(i + 1)); });
    }
    layout->addLayout(analyses);
    auto* status = new QHBoxLayout;
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("analysisProgress"));
    progress_->setRange(0, 20);
    progress_->setValue(0);
    cancelButton_ = button(QStringLiteral("Cancel"), "cancelAnalysisButton");
    cancelButton_->setEnabled(false);
    connect(cancelButton_, &QPushButton::clicked, this, &CMaskAnalyse::CancelAnalysis);
    auto* close = button(QStringLiteral("Close"), "closeButton");
    connect(close, &QPushButton::clicked, this, &CMaskAnalyse::reject);
    status->addWidget(progress_, 1);
    status->addWidget(cancelButton_);
    status->addWidget(close);
    layout->addLayout(status);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("analysisLog"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(500);
    log_->setFixedHeight(70);
    layout->addWidget(log_);
}

bool CMaskAnalyse::ConfirmFiles() {
    // Both Confirm buttons take the levels as the edits show them.
    maskingLevel_ = maskingLevelEdit_->text().toInt();
    maskedLevel_ = maskedLevelEdit_->text().toInt();
    analysis::ConfirmInput input;
    input.maskingPath = maskingPath_->text().toStdString();
    input.maskedPath = maskedPath_->text().toStdString();
    input.maskingLevel = maskingLevel_;
    input.maskedLevel = maskedLevel_;
    input.frameLength = setup_.frameLength;
    input.shift = setup_.shift;
    input.binWidth = setup_.binWidth;
    maskingVowel_->setText(
        QString::fromStdString(analysis::VowelName(analysis::VowelOfPath(input.maskingPath))));
    maskedVowel_->setText(
        QString::fromStdString(analysis::VowelName(analysis::VowelOfPath(input.maskedPath))));
    const analysis::ConfirmResult result = analysis::Confirm(input);
    if (!result.Ok()) {
        prompter_.Message(this, QString::fromStdString(result.message));
        return false;
    }
    ShowSpectra(result.spectra);
    return true;
}

void CMaskAnalyse::ShowSpectra(const analysis::MaskSpectra& spectra) {
    display_.spectra = spectra;
    display_.topHz = spectra.binCount * spectra.binWidth;
    display_.curvesShown = true;
    maskingVowel_->setText(QString::fromStdString(analysis::VowelName(spectra.maskingVowel)));
    maskedVowel_->setText(QString::fromStdString(analysis::VowelName(spectra.maskedVowel)));
    maskingLevelEdit_->setText(QString::number(spectra.maskingLevel));
    maskedLevelEdit_->setText(QString::number(spectra.maskedLevel));
    for (QPushButton* b : {maskingToggle_, maskedToggle_, effectToggle_, bandsToggle_, showAll_})
        b->setEnabled(true);
    graph_->update();
}

void CMaskAnalyse::Toggle(bool MaskDisplay::*flag, QPushButton* button, const QString& what) {
    display_.*flag = !(display_.*flag);
    button->setText((display_.*flag ? QStringLiteral("Hide ") : QStringLiteral("Show ")) + what);
    graph_->update();
}

void CMaskAnalyse::ShowAll() {
    display_.showMasking = display_.showMasked = display_.showBands = true;
    maskingToggle_->setText(QStringLiteral("Hide masking"));
    maskedToggle_->setText(QStringLiteral("Hide masked"));
    bandsToggle_->setText(QStringLiteral("Hide critical bands"));
    graph_->update();
}

void CMaskAnalyse::ShowPattern() {
    bool ok = false;
    const double zk = zk_->text().trimmed().toDouble(&ok);
    if (!ok) {
        prompter_.Message(this, QStringLiteral("Zk must be a number of Bark."));
        return;
    }
    display_.patternZk = zk;
    display_.patternLevel = maskingLevel_;
    graph_->update();
}

void CMaskAnalyse::ZkMoved(double zk) {
    zk_->setText(Printf("%2.1f", zk));
    display_.curvesShown = false;
    display_.athShown = true;
    ShowPattern();
}

void CMaskAnalyse::Transform() {
    bool ok = false;
    const double input = transformIn_->text().trimmed().toDouble(&ok);
    if (!ok) {
        transformOut_->clear();
        return;
    }
    transformOut_->setText(hzToBark_->isChecked()
                               ? Printf("%f", analysis::HzToBark(static_cast<int>(input)))
                               : QString::number(analysis::BarkToHz(input)));
}

QString CMaskAnalyse::WorkbookPath(MaskAnalysisKind kind) const {
    const QString station = setup_.stationDir.isEmpty() ? QDir::currentPath() : setup_.stationDir;
    return QDir(station).filePath(QStringLiteral("Data/") +
                                  QString::fromStdString(analysis::MaskWorkbookName(kind)));
}

bool CMaskAnalyse::StartAnalysis(MaskAnalysisKind kind) {
    if (worker_ != nullptr) return false;
    if (setup_.db == nullptr) {
        prompter_.Message(this, QStringLiteral("The analyses read the results database, and "
                                               "there is no connection to it."));
        return false;
    }
    store::MaskQueryParams params;
    params.ageFrom = ageFrom_->text();
    params.ageTo = ageTo_->text();
    params.subject = subject_->text();
    const auto averages = store::MaskPairAverages(*setup_.db, store::QueryOf(kind), params);
    if (!averages.Ok()) {
        prompter_.Message(this, averages.error->kind == store::FailureKind::Refused
                                    ? averages.error->message
                                    : averages.error->Text());
        return false;
    }
    analysis::MaskRunInput input;
    input.kind = kind;
    input.averages = averages.value;
    input.vowelFolder = analysis::VowelFolder(setup_.stationDir.toStdString());
    input.frameLength = setup_.frameLength;
    input.shift = setup_.shift;
    input.binWidth = setup_.binWidth;
    input.maskingLevel = maskingLevel_;
    input.maskedLevel = maskedLevel_;
    input.snr = snr_;
    input.subject = params.subject.trimmed().toStdString();

    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto result = std::make_shared<analysis::MaskRunResult>();
    // The worker only computes; what it reports is handed to this window's thread.
    worker_ = QThread::create([this, input, result, cancel = cancel_] {
        *result = analysis::RunMaskAnalysis(input, [this, cancel](const analysis::MaskProgress& p) {
            QMetaObject::invokeMethod(
                this,
                [this, p] {
                    progress_->setValue(p.done);
                    if (!p.line.empty()) Log(QString::fromStdString(p.line));
                },
                Qt::QueuedConnection);
            return !cancel->load();
        });
    });
    worker_->setParent(this);
    connect(worker_, &QThread::finished, this, [this, result, kind] { Finish(result, kind); });
    progress_->setValue(0);
    Log(QStringLiteral("%1 ...").arg(analysisButtons_[static_cast<int>(kind) - 1]->text()));
    SetBusy(true);
    worker_->start();
    return true;
}

void CMaskAnalyse::CancelAnalysis() {
    if (cancel_) cancel_->store(true);
}

void CMaskAnalyse::Finish(const std::shared_ptr<analysis::MaskRunResult>& result,
                          MaskAnalysisKind kind) {
    if (worker_ == nullptr) return;
    worker_->deleteLater();
    worker_ = nullptr;
    SetBusy(false);
    for (const std::string& line : result->log)
        if (!line.starts_with("diff:")) Log(QString::fromStdString(line));
    if (result->last) {
        maskingPath_->setText(QString::fromStdString(
            analysis::VowelPath(setup_.stationDir.toStdString(), result->last->maskingVowel)));
        maskedPath_->setText(QString::fromStdString(
            analysis::VowelPath(setup_.stationDir.toStdString(), result->last->maskedVowel)));
        maskingLevel_ = result->last->maskingLevel;
        maskedLevel_ = result->last->maskedLevel;
        if (kind == MaskAnalysisKind::AverageDe || kind == MaskAnalysisKind::SubjectDe)
            snr_ = result->snr;
        ShowSpectra(*result->last);
    }
    bool written = false;
    if (result->cancelled) {
        Log(QStringLiteral("Cancelled: nothing was written."));
    } else if (!result->message.empty()) {
        prompter_.Message(this, QString::fromStdString(result->message));
    } else if (WriteWorkbook(result->table, kind)) {
        written = true;
        Log(QString::fromUtf8(analysis::kWorkbookSucceeded));
        prompter_.Message(this, QString::fromUtf8(analysis::kWorkbookSucceeded));
    }
    emit AnalysisEnded(written);
}

bool CMaskAnalyse::WriteWorkbook(const analysis::ResultTable& table, MaskAnalysisKind kind) {
    const QString path = WorkbookPath(kind);
    QDir().mkpath(QFileInfo(path).absolutePath());
    sheet::CSpreadSheet book(QFile::encodeName(path).toStdString(), analysis::kMaskSheet, true);
    book.BeginTransaction();
    // A workbook from an earlier run keeps its rows (and a copy in the backup
    // sheet); the new rows follow them under the same header.
    bool ok = book.AddHeaders(table.captions, true);
    for (const auto& row : table.rows) ok = ok && book.AddRow(row);
    ok = ok && book.Commit();
    if (!ok) prompter_.Message(this, QString::fromStdString(book.LastError()));
    return ok;
}

void CMaskAnalyse::SetBusy(bool busy) {
    for (QPushButton* b : analysisButtons_) b->setEnabled(!busy);
    cancelButton_->setEnabled(busy);
}

void CMaskAnalyse::Log(const QString& line) {
    log_->appendPlainText(line);
}

void CMaskAnalyse::reject() {
    if (worker_ != nullptr) {
        cancel_->store(true);
        worker_->wait();
    }
    QDialog::reject();
}

}  // namespace kestrune::app
