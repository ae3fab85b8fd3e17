// Which workspace controls are usable after each event of the wave workspace.
//
// The main window has three surfaces for most commands - a button, a menu
// item and a toolbar button - and one event sets all three together. This is
// the table of those settings as one pure function, so the window and the
// tests read the same rules. A control group an event does not name keeps
// the state it had ("unchanged").
#pragma once

namespace kestrune {

/** What just happened in the workspace. */
enum class WorkspaceEvent {
    Initial,                    ///< end of start-up
    EmptySet,                   ///< DrawWave with no wave in the set
    WavesPresent,               ///< DrawWave with waves in the set
    AfterOpen,                  ///< end of OpenWave, also after a generator
    Recording,                  ///< the input device was opened
    RecordingEndedWithSamples,  ///< a recording ended and captured samples
    RecordingEndedEmpty,        ///< a recording ended without samples
    Playing,                    ///< the output device was opened
    PlaybackEnded,              ///< a playback ended
    PlaybackPaused,             ///< a running playback was paused (caption only)
    PlaybackResumed,            ///< a paused playback goes on (caption only)
};

/** The caption of the Play button and menu item. */
enum class PlayCaption {
    Play,   ///< "再生": nothing plays, or the playback is paused
    Pause,  ///< "一時停止": a playback runs unpaused
};

/**
 * How the Close and Close all menu items look. At the end of start-up they
 * are disabled without being greyed; every later change greys or enables
 * them.
 */
enum class CloseMenuState { Enabled, Disabled, Greyed };

/** The enabled state of every control group of the workspace. */
struct ControlStates {
    bool recordStart = false;  ///< button and menu item (no toolbar button)
    bool recordStop = false;   ///< button and menu item
    bool play = false;         ///< button and menu item
    PlayCaption playCaption = PlayCaption::Play;
    bool stop = false;          ///< button and menu item
    bool open = false;          ///< button, menu item and toolbar button
    bool save = false;          ///< button, menu item and toolbar button
    bool draw = false;          ///< Draw wave and Draw frequency, on all three surfaces
    bool closeButtons = false;  ///< the Close and Close all buttons
    CloseMenuState closeMenu = CloseMenuState::Greyed;  ///< Close and Close all menu items
    bool tools = false;  ///< the four check buttons of the toolbar (zoom in/out, cut left/right)
    /**
     * Set when this event puts the four tool buttons up (the mouse tools are
     * switched off); false when it leaves them as they are. Not carried over
     * from the previous state.
     */
    bool releaseTools = false;

    bool operator==(const ControlStates&) const = default;
};

/**
 * The states after `event`, given the states before it. The previous value
 * of each group the event leaves alone is kept.
 */
ControlStates ControlStatesFor(WorkspaceEvent event, const ControlStates& previous);

/** The states at the end of start-up. */
inline ControlStates InitialControlStates() {
    return ControlStatesFor(WorkspaceEvent::Initial, ControlStates{});
}

}  // namespace kestrune
