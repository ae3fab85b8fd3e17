#include "app/battery/TestWindow.h"

#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/battery/AutoTest6.h"
#include "app/battery/Directions.h"
#include "app/battery/InputDlg.h"

namespace kestrune::app {

QString StationFolderOf(const VowelTestServices& services) {
    return services.stationFolder.isEmpty() ? QDir::currentPath() : services.stationFolder;
}

int RunWindowModal(QDialog& window) {
    window.setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
    window.show();
    if (window.isVisible()) loop.exec();
    return window.result();
}

bool RunDirections(QWidget* parent, int testNumber, const VowelTestServices& services,
                   int& volume) {
    CDirections directions(testNumber, CDirections::Use::Modal, services.prompter,
                           StationFolderOf(services), parent);
    directions.SetVolume(volume);
    const int shown = directions.exec();
    volume = directions.Volume();
    return shown == QDialog::Accepted;
}

QPushButton* TestButton(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setFont(FaceFont(kGothicFace, 12));
    return button;
}

void SetInstructionText(QLabel& area, const std::string& text) {
    area.setText(InstructionTextLines(QString::fromStdString(text)).join(QLatin1Char('\n')));
}

QString InstructionTextOf(const QLabel& area) {
    return area.text().remove(QLatin1Char('\n'));
}

void StepPicture(std::optional<PictureSequence>& pictures, CPictureFrame& frame, Prompter& prompter,
                 QWidget* parent, bool forward) {
    if (!pictures) return;
    const auto draw = [&frame](const std::string& file) {
        return frame.SetPath(QString::fromStdString(file));
    };
    const PictureSequence::Outcome outcome =
        forward ? pictures->Advance(draw) : pictures->GoBack(draw);
    if (outcome.message) prompter.Message(parent, QString::fromStdString(*outcome.message));
}

}  // namespace kestrune::app
