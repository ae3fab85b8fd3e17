#include "core/workspace/ControlStates.h"

#include <optional>

namespace kestrune {

namespace {

using Cell = std::optional<bool>;  // nullopt: the event leaves the group alone

constexpr Cell kOn = true;
constexpr Cell kOff = false;
constexpr Cell kKeep = std::nullopt;

/** One row of the table. */
struct Row {
    Cell recordStart, recordStop, play, stop, open, save, draw, close, tools;
    bool releaseTools = false;
    std::optional<PlayCaption> caption;
    /** The Close menu items when the row switches them off: greyed, except at start-up. */
    CloseMenuState closeMenuOff = CloseMenuState::Greyed;
};

Row RowFor(WorkspaceEvent event) {
    constexpr auto kPlay = PlayCaption::Play;
    switch (event) {
        case WorkspaceEvent::Initial:
            return {kOn,  kOff, kOff, kOff, kOn,   kOff,
                    kOff, kOff, kOff, true, kPlay, CloseMenuState::Disabled};
        case WorkspaceEvent::EmptySet:
            return {kOn, kOff, kOff, kOff, kOn, kOff, kOff, kOff, kOff, true, kPlay};
        case WorkspaceEvent::WavesPresent:
            return {kKeep, kKeep, kKeep, kKeep, kOn, kOn, kKeep, kOn, kOn, true, std::nullopt};
        case WorkspaceEvent::AfterOpen:
        case WorkspaceEvent::RecordingEndedWithSamples:
            return {kOn, kOff, kOn, kOff, kOn, kOn, kOn, kKeep, kOff, true, kPlay};
        case WorkspaceEvent::Recording:
            return {kOff, kOn, kOff, kOff, kOff, kOff, kOff, kKeep, kOff, true, kPlay};
        case WorkspaceEvent::RecordingEndedEmpty:
            return {kOn, kOff, kKeep, kKeep, kOn, kKeep, kKeep, kKeep, kKeep, false, std::nullopt};
        case WorkspaceEvent::Playing:
            return {kOff, kOff, kOn, kOn, kOff, kOn, kOn, kKeep, kKeep, false, PlayCaption::Pause};
        case WorkspaceEvent::PlaybackEnded:
            return {kOn, kOff, kOn, kOff, kOn, kOn, kOn, kKeep, kKeep, false, kPlay};
        case WorkspaceEvent::PlaybackPaused:
            return {kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, false, kPlay};
        case WorkspaceEvent::PlaybackResumed:
            return {kKeep,
                    kKeep,
                    kKeep,
                    kKeep,
                    kKeep,
                    kKeep,
                    kKeep,
                    kKeep,
                    kKeep,
                    false,
                    PlayCaption::Pause};
    }
    return {kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, false, std::nullopt};
}

void Apply(const Cell& cell, bool& state) {
    if (cell) state = *cell;
}

}  // namespace

ControlStates ControlStatesFor(WorkspaceEvent event, const ControlStates& previous) {
    const Row row = RowFor(event);
    ControlStates next = previous;
    Apply(row.recordStart, next.recordStart);
    Apply(row.recordStop, next.recordStop);
    Apply(row.play, next.play);
    Apply(row.stop, next.stop);
    Apply(row.open, next.open);
    Apply(row.save, next.save);
    Apply(row.draw, next.draw);
    if (row.close) {
        next.closeButtons = *row.close;
        next.closeMenu = *row.close ? CloseMenuState::Enabled : row.closeMenuOff;
    }
    Apply(row.tools, next.tools);
    next.releaseTools = row.releaseTools;
    if (row.caption) next.playCaption = *row.caption;
    return next;
}

}  // namespace kestrune
