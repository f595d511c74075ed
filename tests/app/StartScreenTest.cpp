// The start screen's controls after a normal start: player count, the two
// switches, the volume bar and Escape, driven by real mouse and key events.
#include "AppTestSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "app/VolumeBar.h"
#include "platform/Clock.h"
#include "support/FixedClock.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace dorvel;

namespace {

struct StartScreen : test::StartScreenStandIns
{
    StartScreen() { test::writeBytes(storage::kConfigFileName, test::settingsBytes(1, 1)); }
    ~StartScreen() override { window.reset(); }

    app::TfrmDorvel20Main &open()
    {
        window = std::make_unique<app::TfrmDorvel20Main>(sound, library, clock, display);
        window->show();
        sound.clear();
        return *window;
    }

    void moveOverBar(Qt::MouseButtons buttons, int x)
    {
        const QPointF at(x, 8);
        QMouseEvent move(QEvent::MouseMove, at, window->pgbLaut->mapToGlobal(at), Qt::NoButton,
            buttons, Qt::NoModifier);
        QApplication::sendEvent(window->pgbLaut, &move);
    }

    std::unique_ptr<app::TfrmDorvel20Main> window;
};

TEST_F(StartScreen, CaptionAsDesignedAndPlayerCountCyclingWithClickSound)
{
    auto &w = open();
    // The caption is a designed text: a new project version must not change it.
    EXPECT_EQ(w.Label1->text(), QStringLiteral("V.2.0.2"));
    // The program's own pictures 109..112, all 66 pixels high, each as wide as its digit.
    const std::array<int, 5> widths { 0, 30, 39, 38, 39 };
    for (const int expected : { 2, 3, 4, 1, 2 }) {
        QTest::mouseClick(w.imgSpieler, Qt::LeftButton, {}, QPoint(40, 40));
        EXPECT_EQ(w.playerCount, expected);
        const QImage shown
            = w.imgSpieler->picture().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown,
            QImage(QStringLiteral(":/pictures/%1.bmp").arg(108 + expected))
                .convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(shown.size(), QSize(widths[static_cast<std::size_t>(expected)], 66));
    }
    EXPECT_EQ(sound.callsStartingWith("SamplePlay"), std::vector<std::string>(5, "SamplePlay(2)"));

    // With sound effects off the count changes silently.
    w.soundOn = false;
    sound.clear();
    QTest::mouseClick(w.imgSpieler, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(w.playerCount, 3);
    EXPECT_TRUE(sound.calls.empty());
}

TEST_F(StartScreen, SoundSwitchPlaysConfirmOnlyWhenTurnedOn)
{
    auto &w = open();
    ASSERT_TRUE(w.soundOn);
    QTest::mouseClick(w.imgSound, Qt::LeftButton, {}, QPoint(150, 40)); // an empty corner counts
    EXPECT_FALSE(w.soundOn);
    EXPECT_TRUE(w.imgSound->hasPicture());
    EXPECT_TRUE(sound.calls.empty());

    QTest::mouseClick(w.imgSound, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(w.soundOn);
    EXPECT_FALSE(w.imgSound->hasPicture());
    EXPECT_EQ(sound.calls, std::vector<std::string> { "SamplePlay(3)" });
}

TEST_F(StartScreen, MusicSwitchStopsAndRestartsMusic)
{
    auto &w = open();
    ASSERT_TRUE(w.musicOn);
    QTest::mouseClick(w.imgMusic, Qt::LeftButton, {}, QPoint(78, 23));
    EXPECT_FALSE(w.musicOn);
    EXPECT_EQ(w.imgMusic->picture().cacheKey(), w.offPicture.cacheKey());
    QTest::mouseClick(w.imgMusic, Qt::LeftButton, {}, QPoint(78, 23));
    EXPECT_TRUE(w.musicOn);
    EXPECT_FALSE(w.imgMusic->hasPicture());
    EXPECT_EQ(sound.calls, (std::vector<std::string> { "SampleStop(1)", "SamplePlay(1)" }));
}

TEST_F(StartScreen, VolumeIsPositionDivThreeTruncatedTowardZeroAndUnclamped)
{
    auto &w = open();
    struct Case
    {
        int x;
        int volume;
        int bar;
    };
    for (const Case c : { Case { 0, 0, 0 }, Case { 299, 99, 99 }, Case { 300, 100, 100 },
             Case { 450, 150, 100 }, Case { -1, 0, 0 }, Case { -2, 0, 0 }, Case { -3, -1, 0 } }) {
        SCOPED_TRACE(c.x);
        sound.clear();
        moveOverBar(Qt::LeftButton, c.x);
        EXPECT_EQ(sound.calls,
            std::vector<std::string> { "SetVolume(" + std::to_string(c.volume) + ")" });
        EXPECT_EQ(w.pgbLaut->value(), c.bar);
    }

    // Without the left button nothing changes.
    moveOverBar(Qt::LeftButton, 150);
    sound.clear();
    moveOverBar(Qt::NoButton, 30);
    moveOverBar(Qt::RightButton, 60);
    EXPECT_TRUE(sound.calls.empty());
    EXPECT_EQ(w.pgbLaut->value(), 50);
}

TEST_F(StartScreen, EscapeClosesAndKeepsHighScoresByteForByte)
{
    test::writeBytes(storage::kConfigFileName, test::settingsBytes(0, 1));
    auto &w = open();
    QSignalSpy closed(&w, &app::TfrmDorvel20Main::closed);
    QTest::keyClick(&w, Qt::Key_A);
    EXPECT_TRUE(w.isVisible());
    QTest::mouseClick(w.imgSound, Qt::LeftButton); // sound on
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(w.exitCode(), app::kExitNormal);
    EXPECT_EQ(test::readBytes(storage::kConfigFileName), test::settingsBytes(1, 1));
}

} // namespace
