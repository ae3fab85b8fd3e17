// The workspace's control-state table, row by row. Each row is checked from
// two opposite starting states, so that a cell the event must leave alone
// ("-") is seen to keep both an enabled and a disabled control as they were.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/workspace/ControlStates.h"

namespace kestrune {
namespace {

// One row as written in the table: per group '1' on, '0' off, '-' unchanged,
// in the order record start, record stop, play, stop, open, save, draw,
// close (buttons), tools. `closeMenu` gives the menu items' look when the
// row sets them; `release` whether the tool buttons go up; `caption` 'P'
// "再生", 'S' "一時停止", '-' unchanged.
struct TableRow {
    WorkspaceEvent event;
    const char* name;
    std::string cells;
    CloseMenuState closeMenu;
    bool release;
    char caption;
};

const std::vector<TableRow>& Table() {
    using E = WorkspaceEvent;
    using M = CloseMenuState;
    static const std::vector<TableRow> rows = {
        {E::Initial, "initial", "100010000", M::Disabled, true, 'P'},
        {E::EmptySet, "empty set", "100010000", M::Greyed, true, 'P'},
        {E::WavesPresent, "waves present", "----11-11", M::Enabled, true, '-'},
        {E::AfterOpen, "after open", "1010111-0", M::Enabled, true, 'P'},
        {E::Recording, "recording", "0100000-0", M::Enabled, true, 'P'},
        {E::RecordingEndedWithSamples, "recording ended with samples", "1010111-0", M::Enabled,
         true, 'P'},
        {E::RecordingEndedEmpty, "recording ended empty", "10--1----", M::Enabled, false, '-'},
        {E::Playing, "playing", "0011011--", M::Enabled, false, 'S'},
        {E::PlaybackEnded, "playback ended", "1010111--", M::Enabled, false, 'P'},
        {E::PlaybackPaused, "playback paused", "---------", M::Enabled, false, 'P'},
        {E::PlaybackResumed, "playback resumed", "---------", M::Enabled, false, 'S'},
    };
    return rows;
}

ControlStates AllOn() {
    return {true, true, true, PlayCaption::Pause,      true, true,
            true, true, true, CloseMenuState::Enabled, true, true};
}

ControlStates AllOff() {  // every flag false
    return {.playCaption = PlayCaption::Play, .closeMenu = CloseMenuState::Disabled};
}

std::array<bool, 9> Groups(const ControlStates& s) {
    return {s.recordStart, s.recordStop, s.play,         s.stop, s.open,
            s.save,        s.draw,       s.closeButtons, s.tools};
}

// The start-up state is the initial row; only it disables the close menu
// items without greying them.
TEST(ControlStatesTest, EveryRowFromBothStartingStates) {
    EXPECT_EQ(InitialControlStates(), ControlStatesFor(WorkspaceEvent::Initial, AllOff()));
    const char* groups[] = {"record start", "record stop", "play",  "stop", "open",
                            "save",         "draw",        "close", "tools"};
    for (const TableRow& row : Table()) {
        ASSERT_EQ(row.cells.size(), 9u) << row.name;
        for (const ControlStates& before : {AllOn(), AllOff()}) {
            const ControlStates after = ControlStatesFor(row.event, before);
            const std::string where =
                std::string(row.name) + (before.open ? " from all on" : " from all off");
            for (int i = 0; i < 9; ++i) {
                const char cell = row.cells[i];
                ASSERT_TRUE(cell == '1' || cell == '0' || cell == '-') << row.name;
                const bool expected = cell == '-' ? Groups(before)[i] : cell == '1';
                EXPECT_EQ(Groups(after)[i], expected) << where << ": " << groups[i];
            }
            // The close menu items follow the close column, with their own look.
            EXPECT_EQ(after.closeMenu, row.cells[7] == '-' ? before.closeMenu : row.closeMenu)
                << where;
            EXPECT_EQ(after.releaseTools, row.release) << where;
            const PlayCaption caption = row.caption == 'S'   ? PlayCaption::Pause
                                        : row.caption == 'P' ? PlayCaption::Play
                                                             : before.playCaption;
            EXPECT_EQ(after.playCaption, caption) << where;
        }
    }
}

}  // namespace
}  // namespace kestrune
