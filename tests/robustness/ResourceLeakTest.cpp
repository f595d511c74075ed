// Several games in a row in one run leave nothing behind: no open file, no
// texture of the dice view, and every sample a window loaded freed exactly once
// by that window, the game table's after each game and the start screen's at
// the end.
#include "RobustnessSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <dlfcn.h>

using namespace dorvel;
using namespace dorvel::test;

// The dice view calls these two directly; defined here, they take precedence
// over the GL library's, count, and pass on. (Qt's own GL calls go through
// resolved function pointers and are not counted.)
namespace {
long g_texturesMade = 0;
long g_texturesDeleted = 0;

template <typename Function> Function nextGl(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" void glGenTextures(GLsizei n, GLuint *textures)
{
    static const auto real = nextGl<void (*)(GLsizei, GLuint *)>("glGenTextures");
    real(n, textures);
    for (GLsizei i = 0; i < n; ++i)
        g_texturesMade += textures[i] != 0 ? 1 : 0;
}

extern "C" void glDeleteTextures(GLsizei n, const GLuint *textures)
{
    static const auto real = nextGl<void (*)(GLsizei, const GLuint *)>("glDeleteTextures");
    for (GLsizei i = 0; i < n; ++i)
        g_texturesDeleted += textures[i] != 0 ? 1 : 0;
    real(n, textures);
}

namespace {

std::string describe(
    const std::map<int, std::string> &before, const std::map<int, std::string> &after)
{
    std::string text;
    for (const auto &[fd, target] : after) {
        if (!before.contains(fd) || before.at(fd) != target)
            text += "  new fd " + std::to_string(fd) + " -> " + target + "\n";
    }
    for (const auto &[fd, target] : before) {
        if (!after.contains(fd))
            text += "  closed fd " + std::to_string(fd) + " -> " + target + "\n";
    }
    return text;
}

TEST(ResourceLeaks, GamesInARowLeaveNoFileTextureOrSampleBehind)
{
    ScopedCurrentDir dir;
    MessageRecorder recorder;
    RecordingSoundLibrary sound;
    StubDisplay display;
    FixedClock clock { 36'000'000 };
    writeBytes(storage::kConfigFileName, settingsBytes(1, 1));

    app::TfrmDorvel20Main window(sound, resources::systemResourceLoader(), clock, display);
    ASSERT_FALSE(window.startFailed());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Textures live while a game table is open; counted when its view has drawn.
    long texturesWhilePlaying = 0;
    auto playGames = [&](int players, std::vector<bool> playAgain) {
        while (window.playerCount != players)
            window.imgSpielerClick();
        RunDriver driver(120000);
        driver.playAgain = playAgain;
        driver.afterTurn = [&](game::TfrmDorvel20Game &) {
            texturesWhilePlaying
                = std::max(texturesWhilePlaying, g_texturesMade - g_texturesDeleted);
        };
        const auto before = SampleLedger::of(sound.calls);
        driver.run([&] { QTest::mouseClick(window.imgOK, Qt::LeftButton); });
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(driver.highscoreWindows, static_cast<int>(playAgain.size()) + 1);
        // The game table's eight samples came and went with it.
        const auto after = SampleLedger::of(sound.calls);
        EXPECT_EQ(after.loaded.size() - before.loaded.size(), 8u);
        int freedNow = 0;
        for (const auto &[handle, times] : after.freed)
            freedNow += times;
        for (const auto &[handle, times] : before.freed)
            freedNow -= times;
        EXPECT_EQ(freedNow, 8);
    };

    // A first game loads whatever the toolkit and the GL driver keep for the
    // rest of the run (font caches, the driver itself).
    playGames(1, {});
    const auto descriptors = openDescriptors();
    const long liveTextures = g_texturesMade - g_texturesDeleted;

    playGames(2, { true }); // two games with the same table, then Beenden
    playGames(1, {});
    playGames(4, {});

    EXPECT_EQ(openDescriptors(), descriptors) << describe(descriptors, openDescriptors());
    EXPECT_GT(texturesWhilePlaying, 0) << "the dice view never drew, so textures went uncounted";
    EXPECT_EQ(g_texturesMade - g_texturesDeleted, liveTextures);
    EXPECT_EQ(liveTextures, 0) << "a closed game table keeps no texture";

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(sound.calls.back(), "Free");
    const SampleLedger ledger = SampleLedger::of(sound.calls);
    EXPECT_EQ(ledger.loaded.size(), 3u + 4u * 8u); // start screen's three, four tables' eight
    EXPECT_EQ(ledger.faults(), std::vector<std::string> {});
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(openDescriptors(), descriptors) << describe(descriptors, openDescriptors());
}

} // namespace
