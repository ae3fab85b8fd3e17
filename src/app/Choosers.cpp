#include "app/Choosers.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QStringList>

namespace kestrune::app {

std::unique_ptr<QFileDialog> DialogFileChooser::MakeDialog(QWidget* parent, Mode mode) const {
    auto dialog = std::make_unique<QFileDialog>(parent);
    // Qt's own dialog matches name filters ignoring case; a desktop's native
    // dialog would hide "take1.wav" behind the filter "*.Wav".
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setNameFilter(filter_);
    if (mode == Mode::Open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setDefaultSuffix(defaultSuffix_);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    }
    return dialog;
}

namespace {

QString Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace

QString DialogFileChooser::ChooseOpenPath(QWidget* parent) {
    return Run(*MakeDialog(parent, Mode::Open));
}

QString DialogFileChooser::ChooseSavePath(QWidget* parent) {
    return Run(*MakeDialog(parent, Mode::Save));
}

std::optional<QColor> DialogColorChooser::ChooseColor(QWidget* parent, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

}  // namespace kestrune::app
