// Sounds in the resource library that the real decoder cannot read (junk, cut
// short, empty) are simply silent: the start screen and the game table run
// without those samples, every click that would play one is harmless, and
// every sample that did load is released again.
#include "RobustnessSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "sound/OpenAlSoundLibrary.h"
#include "support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace dorvel;
using namespace dorvel::test;

namespace {

TEST(SoundDamage, UndecodableSoundsAreSilentAndNothingLeaks)
{
    // The silent back-end stands for a working sound card.
    ::setenv("ALSOFT_DRIVERS", "null", 0);
    std::map<int, Bytes> resources = realResources();
    ASSERT_TRUE(resources.contains(116) && resources.contains(126)) << "build the redizo target";
    resources[117] = junk(30000, 3); // music
    resources[116].resize(resources[116].size() / 3); // click, cut short
    resources[125] = junk(8000, 4); // rolling sound
    resources[121] = Bytes(1, 0); // player 1's sound, a single byte
    resources[126].resize(40); // stop sound, little more than its header

    ScopedCurrentDir dir;
    writeBytes(storage::kConfigFileName, settingsBytes(1, 1));
    resources::MemoryResourceLoader library(resources);
    sound::OpenAlSoundLibrary sound;
    StubDisplay display;
    FixedClock clock { 36'000'000 };
    MessageRecorder recorder;
    {
        app::TfrmDorvel20Main window(sound, library, clock, display);
        ASSERT_FALSE(window.startFailed());
        ASSERT_TRUE(window.soundAvailable) << "no silent OpenAL device";
        window.show();
        EXPECT_EQ(window.musicSample, 0u);
        EXPECT_EQ(window.clickSample, 0u);
        EXPECT_NE(window.confirmSample, 0u);
        EXPECT_EQ(sound.loadedSamples(), 1u);

        // Every control that plays a missing sample.
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(window.imgSpieler, Qt::LeftButton, {}, QPoint(40, 40));
        for (int i = 0; i < 2; ++i) {
            QTest::mouseClick(window.imgMusic, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(window.imgSound, Qt::LeftButton, {}, QPoint(5, 5));
        }

        std::size_t samplesDuringGame = 0;
        sound::HSAMPLE rollSample = 1;
        sound::HSAMPLE firstPlayerSample = 1;
        sound::HSAMPLE chosenSample = 0;
        RunDriver driver;
        driver.escapeAfterTurns = 3;
        driver.afterTurn = [&](game::TfrmDorvel20Game &table) {
            samplesDuringGame = sound.loadedSamples();
            rollSample = table.rollSample;
            firstPlayerSample = table.playerSample[1];
            chosenSample = table.chosenSample;
        };
        driver.run([&] { QTest::mouseClick(window.imgOK, Qt::LeftButton); });
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(driver.turnsEntered, 3);
        EXPECT_EQ(rollSample, 0u);
        EXPECT_EQ(firstPlayerSample, 0u);
        EXPECT_NE(chosenSample, 0u);
        EXPECT_EQ(samplesDuringGame, 1u + 5u) << "confirm, and five of the eight game sounds";
        EXPECT_EQ(sound.loadedSamples(), 1u) << "the game table freed its own";

        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(sound.loadedSamples(), 0u);
    }
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(readBytes(storage::kConfigFileName), settingsBytes(1, 1));
}

} // namespace
