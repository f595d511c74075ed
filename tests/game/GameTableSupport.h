#pragma once

// Shared set-up of the game table window tests: a recording sound library, an
// in-memory resource library with the eight game sounds, a fixed clock, message
// boxes recorded instead of shown, and a private current folder.

#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "resources/ResourceLoaders.h"
#include "support/FixedClock.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QString>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace dorvel::test {

// Sample handles the fixture hands over as the start screen's borrowed ones.
inline constexpr sound::HSAMPLE kMusicSample = 100;
inline constexpr sound::HSAMPLE kClickSample = 101;
// Handles the recorder gives the game samples, in load order 121..128.
inline constexpr sound::HSAMPLE kRollSample = 5;
inline constexpr sound::HSAMPLE kStopSample = 6;
inline constexpr sound::HSAMPLE kHoverSample = 7;
inline constexpr sound::HSAMPLE kChosenSample = 8;

class GameTableTest : public testing::Test
{
protected:
    GameTableTest();
    ~GameTableTest() override;

    /// Creates the table as the start screen does, shows it and starts turn one.
    /// With manualTicks the animation timer gets Interval 0, so it never runs on
    /// its own and the test drives every tick through AsyncTimer1Timer.
    void start(int players, bool soundOn = true, bool musicOn = true, bool manualTicks = true);

    /// Stops the running roll and ticks the animation until the dice are at rest.
    void stopAndSettle();
    /// Starts another roll of the turn, stops it and settles.
    void rollAgain();
    /// Sets the five dice directly (a settled state's result).
    void setDice(std::array<std::uint8_t, 5> values);
    /// Moves the mouse onto the row's hot area / clicks it (real mouse events).
    void moveOverRow(int row);
    void clickRow(int row);
    /// Settles the current roll, sets the dice, marks the row and clicks it.
    void enter(int row, std::array<std::uint8_t, 5> values);

    game::TagLabel *rowLabel(int row) const;
    QString cellText(int player, int row) const;
    QString sumText(int player, int sum) const;
    bool played(sound::HSAMPLE sample) const;

    ScopedCurrentDir folder;
    RecordingSoundLibrary sound;
    std::unique_ptr<resources::ResourceLoader> resources;
    FixedClock clock;
    bool soundAvailable = true; // handed to the table by start()
    std::vector<std::string> messages;
    std::unique_ptr<game::TfrmDorvel20Game> game;
};

/// The in-memory library the tests load: eight small stand-in sounds.
std::unique_ptr<resources::ResourceLoader> makeSoundLibrary();

} // namespace dorvel::test
