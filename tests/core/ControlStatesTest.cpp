// The workspace's control-state table, row by row. Each row is checked from
// two opposite starting states, so that a cell the event must leave alone
// ("-") is seen to keep both an enabled and a disabled control as they were.

#include <gtest/gtest.h>

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
    ControlStates s;
    s.recordStart = s.recordStop = s.play = s.stop = s.open = s.save = s.draw = true;
    s.closeButtons = true;
    s.closeMenu = CloseMenuState::Enabled;
    s.tools = true;
    s.playCaption = PlayCaption::Pause;
    s.releaseTools = true;
    return s;
}

ControlStates AllOff() {
    ControlStates s;  // every flag false
    s.closeMenu = CloseMenuState::Disabled;
    s.playCaption = PlayCaption::Play;
    return s;
}

void ExpectCell(char cell, bool before, bool after, const std::string& what) {
    switch (cell) {
        case '1':
            EXPECT_TRUE(after) << what;
            break;
        case '0':
            EXPECT_FALSE(after) << what;
            break;
        case '-':
            EXPECT_EQ(after, before) << what << " must keep its state";
            break;
        default:
            ADD_FAILURE() << "bad cell '" << cell << "' for " << what;
    }
}

TEST(ControlStatesTest, EveryRowFromBothStartingStates) {
    const char* groups[] = {"record start", "record stop", "play",  "stop", "open",
                            "save",         "draw",        "close", "tools"};
    for (const TableRow& row : Table()) {
        for (const ControlStates& before : {AllOn(), AllOff()}) {
            const ControlStates after = ControlStatesFor(row.event, before);
            const std::string where =
                std::string(row.name) + (before.open ? " from all on" : " from all off");
            const bool beforeFlags[] = {before.recordStart, before.recordStop,   before.play,
                                        before.stop,        before.open,         before.save,
                                        before.draw,        before.closeButtons, before.tools};
            const bool afterFlags[] = {after.recordStart, after.recordStop,   after.play,
                                       after.stop,        after.open,         after.save,
                                       after.draw,        after.closeButtons, after.tools};
            ASSERT_EQ(row.cells.size(), 9u) << row.name;
            for (int i = 0; i < 9; ++i) {
                ExpectCell(row.cells[i], beforeFlags[i], afterFlags[i], where + ": " + groups[i]);
            }
            // The close menu items follow the close column, with their own look.
            if (row.cells[7] == '-') {
                EXPECT_EQ(after.closeMenu, before.closeMenu) << where;
            } else {
                EXPECT_EQ(after.closeMenu, row.closeMenu) << where;
            }
            EXPECT_EQ(after.releaseTools, row.release) << where;
            switch (row.caption) {
                case 'P':
                    EXPECT_EQ(after.playCaption, PlayCaption::Play) << where;
                    break;
                case 'S':
                    EXPECT_EQ(after.playCaption, PlayCaption::Pause) << where;
                    break;
                default:
                    EXPECT_EQ(after.playCaption, before.playCaption) << where;
                    break;
            }
        }
    }
}

TEST(ControlStatesTest, StartUpDisablesCloseMenuWithoutGreyingIt) {
    const ControlStates initial = InitialControlStates();
    EXPECT_FALSE(initial.closeButtons);
    EXPECT_EQ(initial.closeMenu, CloseMenuState::Disabled);
    // The first later change greys them or enables them.
    EXPECT_EQ(ControlStatesFor(WorkspaceEvent::EmptySet, initial).closeMenu,
              CloseMenuState::Greyed);
    EXPECT_EQ(ControlStatesFor(WorkspaceEvent::WavesPresent, initial).closeMenu,
              CloseMenuState::Enabled);
    // The start-up row does not depend on what came before.
    EXPECT_EQ(ControlStatesFor(WorkspaceEvent::Initial, AllOn()), initial);
}

// The sequences the window goes through: each operation that ends with
// DrawWave passes through the empty-set or waves-present row last.
TEST(ControlStatesTest, OpenThenDrawThenCloseAll) {
    ControlStates s = InitialControlStates();
    s = ControlStatesFor(WorkspaceEvent::AfterOpen, s);
    EXPECT_FALSE(s.tools) << "after-open puts the tools off until DrawWave";
    EXPECT_FALSE(s.closeButtons) << "after-open leaves Close as start-up left it";
    s = ControlStatesFor(WorkspaceEvent::WavesPresent, s);
    EXPECT_TRUE(s.tools && s.closeButtons && s.play && s.draw && s.save && s.recordStart);
    EXPECT_FALSE(s.recordStop || s.stop);
    s = ControlStatesFor(WorkspaceEvent::EmptySet, s);
    EXPECT_FALSE(s.play || s.save || s.draw || s.closeButtons || s.tools);
    EXPECT_TRUE(s.open && s.recordStart);
}

TEST(ControlStatesTest, PlayingPauseResumeAndEnd) {
    ControlStates s =
        ControlStatesFor(WorkspaceEvent::WavesPresent,
                         ControlStatesFor(WorkspaceEvent::AfterOpen, InitialControlStates()));
    s = ControlStatesFor(WorkspaceEvent::Playing, s);
    EXPECT_EQ(s.playCaption, PlayCaption::Pause);
    EXPECT_TRUE(s.play && s.stop && s.save && s.draw);
    EXPECT_FALSE(s.open || s.recordStart);
    EXPECT_TRUE(s.tools) << "playing leaves the tools as they were";
    s = ControlStatesFor(WorkspaceEvent::PlaybackPaused, s);
    EXPECT_EQ(s.playCaption, PlayCaption::Play) << "paused shows 再生 again";
    EXPECT_TRUE(s.stop);
    s = ControlStatesFor(WorkspaceEvent::PlaybackResumed, s);
    EXPECT_EQ(s.playCaption, PlayCaption::Pause);
    s = ControlStatesFor(WorkspaceEvent::PlaybackEnded, s);
    EXPECT_EQ(s.playCaption, PlayCaption::Play);
    EXPECT_FALSE(s.stop);
    EXPECT_TRUE(s.open && s.play);
}

}  // namespace
}  // namespace kestrune
