// What every listening-test window does the same way: where the station
// folder is, running the directions and then the window itself modally,
// the instruction area's rows and stepping the instruction pictures.
#pragma once

#include <QString>

#include <optional>
#include <string>

#include "core/battery/PictureSequence.h"

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace kestrune::app {

class CPictureFrame;
class Prompter;
struct VowelTestServices;

/** The station folder the services name, else the working folder. */
QString StationFolderOf(const VowelTestServices& services);

/** Shows `window` application-modal and waits until it finishes. Unlike
 *  exec() the window may hide and show itself meanwhile. */
int RunWindowModal(QDialog& window);

/** The directions of test `testNumber`, modal over `parent`, starting at
 *  `volume` and handing back the one chosen; true when the subject went on
 *  to the test. */
bool RunDirections(QWidget* parent, int testNumber, const VowelTestServices& services, int& volume);

/** A button of a test window: named for the tests, never the default
 *  button, in the windows' gothic at 12 points. */
QPushButton* TestButton(QWidget* parent, const QString& text, const char* name);

/** Puts `text` into the instruction area in rows of 44 cp932 bytes. */
void SetInstructionText(QLabel& area, const std::string& text);
/** The instruction area's text without its row breaks. */
QString InstructionTextOf(const QLabel& area);

/** Moves the pictures one forward (or back), drawing into `frame`; a
 *  picture that cannot be drawn twice is told through the prompter. */
void StepPicture(std::optional<PictureSequence>& pictures, CPictureFrame& frame, Prompter& prompter,
                 QWidget* parent, bool forward = true);

}  // namespace kestrune::app
