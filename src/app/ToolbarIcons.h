#pragma once

#include <QIcon>

namespace kestrune::app {

/** The toolbar's pictures, in toolbar order. */
enum class ToolIcon {
    OpenWave,
    SaveWave,
    Undo,
    Redo,
    DrawWave,
    DrawFrequency,
    ZoomIn,
    ZoomOut,
    CutLeft,
    CutRight,
    AudioInformation,
    IndividualInformation,
    AutoTest,
    About,
    Exit,
};

/**
 * A 16 x 16 toolbar picture, drawn with QPainter when asked for (with a
 * 32 x 32 version of the same drawing for high-density screens). The
 * program ships no image files.
 */
QIcon ToolbarIcon(ToolIcon which);

/** The program's own icon: a sound wave over an ear-blue tile. */
QIcon ProgramIcon();

}  // namespace kestrune::app
