// The stand-ins a main window under test gets instead of the system's
// dialogs, browser and event-loop timers, with a scratch folder for its files.
#pragma once

#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "app/KestruneDlg.h"
#include "app/Timers.h"
#include "core/util/Random.h"

namespace kestrune::app::testing {

struct WindowFakes {
    QTemporaryDir dir;
    FakePrompter prompter;
    FakeFiles files;
    FakeColors colors;
    FakeOpener opener;
    ManualTimers timers;
    CrtRandom random;

    /** The window's services over these stand-ins and `clock`, without a
     *  sound device (set `sound` or `input` on the result for one). */
    CKestruneDlg::Services Services(const Clock& clock) {
        CKestruneDlg::Services services{prompter, files, colors, opener, clock, random};
        services.timers = &timers;
        return services;
    }
};

}  // namespace kestrune::app::testing
