#pragma once

#include <QColor>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

class QFileDialog;
class QWidget;

namespace kestrune::app {

/** The filter of the wave file dialogs, as the user reads it. */
inline const QString kWaveFileFilter = QStringLiteral("Wav Files (*.Wav)");

/**
 * The file dialogs of the wave commands. The main window never opens a
 * QFileDialog itself, so tests hand it the paths a user would have chosen.
 */
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    /** The wave file to open; empty when the user cancelled. */
    virtual QString ChooseOpenPath(QWidget* parent) = 0;
    /** The path to save the last wave to; empty when the user cancelled. An
     *  existing file has already been confirmed for overwriting. */
    virtual QString ChooseSavePath(QWidget* parent) = 0;
};

/**
 * The real dialogs: Qt's own file dialog, so that a filter such as "*.Wav"
 * matches files whatever the case of their extension (".wav", ".WAV") on a
 * case-sensitive file system. The save dialog adds the default suffix to a
 * name without an extension and asks before overwriting a file. The wave
 * commands use the defaults; the test launcher uses it for scenario files.
 */
class DialogFileChooser final : public FileChooser {
  public:
    explicit DialogFileChooser(QString filter = kWaveFileFilter,
                               QString defaultSuffix = QStringLiteral("wav"))
        : filter_(std::move(filter)), defaultSuffix_(std::move(defaultSuffix)) {}

    QString ChooseOpenPath(QWidget* parent) override;
    QString ChooseSavePath(QWidget* parent) override;

    enum class Mode { Open, Save };
    /** The configured dialog, not yet shown. */
    std::unique_ptr<QFileDialog> MakeDialog(QWidget* parent, Mode mode) const;

  private:
    QString filter_;
    QString defaultSuffix_;
};

/** The colour pickers of the Options menu. */
class ColorChooser {
  public:
    virtual ~ColorChooser() = default;
    /** A colour picked starting at `initial`; nullopt when the user cancelled. */
    virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) = 0;
};

/** The system's colour dialog. */
class DialogColorChooser final : public ColorChooser {
  public:
    std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) override;
};

}  // namespace kestrune::app
