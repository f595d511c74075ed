// Whatever lies in the current folder under the name "dorvel.cfg" — nothing, an
// empty, short or long file, a folder, a protected file or folder, damaged
// high-score entries — the start screen opens, Escape closes it, and the file is
// afterwards exactly what the rules allow: the high-score bytes untouched, or the
// whole file left alone when it may not be written.
#include "RobustnessSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dorvel;
using namespace dorvel::test;
namespace fs = std::filesystem;

namespace {

const fs::path kCfg = storage::kConfigFileName;

mode_t modeOf(const fs::path &path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

// What the start screen made of the file, and what it left behind.
struct Outcome
{
    bool soundOnAtStart = false;
    bool musicOnAtStart = false;
    std::vector<RecordedMessage> boxes;
};

struct ConfigFaults : testing::Test
{
    // Opens the start screen in the current folder, optionally clicks the sound
    // switch (so that there is something new to store) and presses Escape.
    Outcome openAndEscape(bool clickSound)
    {
        Outcome outcome;
        {
            MessageRecorder recorder;
            app::TfrmDorvel20Main window(sound, library, clock, display);
            EXPECT_FALSE(window.startFailed());
            window.show();
            outcome.soundOnAtStart = window.soundOn;
            outcome.musicOnAtStart = window.musicOn;
            if (clickSound)
                QTest::mouseClick(window.imgSound, Qt::LeftButton, {}, QPoint(78, 23));
            QTest::keyClick(&window, Qt::Key_Escape);
            EXPECT_FALSE(window.isVisible());
            if (window.soundAvailable) {
                EXPECT_EQ(sound.calls.back(), "Free") << "the sound library is shut down last";
            }
            outcome.boxes = recorder.messages;
        }
        return outcome;
    }

    ScopedCurrentDir dir;
    RecordingSoundLibrary sound; // its init succeeds, so the switches are read
    StubDisplay display;
    FixedClock clock { 36'000'000 };
    resources::MemoryResourceLoader library { realResources() };
};

TEST_F(ConfigFaults, MissingOrEmptyFileStartsSilentAndIsWrittenWhole)
{
    for (const bool empty : { false, true }) {
        SCOPED_TRACE(empty ? "empty file" : "no file");
        fs::remove(kCfg);
        if (empty)
            writeBytes(kCfg, {});
        const Outcome outcome = openAndEscape(true);
        EXPECT_FALSE(outcome.soundOnAtStart);
        EXPECT_FALSE(outcome.musicOnAtStart);
        EXPECT_TRUE(outcome.boxes.empty());
        Bytes expected(storage::kConfigRecordSize, 0);
        expected[0] = 1; // sound switched on, music still off, an empty list
        EXPECT_EQ(readBytes(kCfg), expected);
    }
}

TEST_F(ConfigFaults, ShortFileKeepsWhatItHeldAndIsCompletedWithZeros)
{
    Bytes full = settingsBytes(1, 0);
    const Bytes held(full.begin(), full.begin() + 100);
    writeBytes(kCfg, held);
    const Outcome outcome = openAndEscape(false);
    EXPECT_TRUE(outcome.soundOnAtStart);
    EXPECT_FALSE(outcome.musicOnAtStart);
    Bytes expected = held;
    expected.resize(storage::kConfigRecordSize, 0);
    EXPECT_EQ(readBytes(kCfg), expected);
}

TEST_F(ConfigFaults, LongFileIsReadFromItsFirst324BytesAndShortened)
{
    Bytes file = settingsBytes(0, 1);
    const Bytes record = file;
    for (int i = 0; i < 76; ++i)
        file.push_back(0xEE);
    writeBytes(kCfg, file);
    const Outcome outcome = openAndEscape(false);
    EXPECT_FALSE(outcome.soundOnAtStart);
    EXPECT_TRUE(outcome.musicOnAtStart);
    EXPECT_EQ(readBytes(kCfg), record);
}

TEST_F(ConfigFaults, FolderOfThatNameIsNeitherReadNorReplaced)
{
    fs::create_directory(kCfg);
    writeBytes(kCfg / "keep", { 1, 2, 3 });
    const Outcome outcome = openAndEscape(true);
    EXPECT_FALSE(outcome.soundOnAtStart);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_TRUE(fs::is_directory(kCfg));
    EXPECT_EQ(readBytes(kCfg / "keep"), (Bytes { 1, 2, 3 }));
    EXPECT_EQ(folderEntries("."), std::vector<std::string> { "dorvel.cfg" });
}

TEST_F(ConfigFaults, DanglingLinkOfThatNameStaysALink)
{
    fs::create_symlink("gone/dorvel.cfg", kCfg);
    const Outcome outcome = openAndEscape(true);
    EXPECT_FALSE(outcome.soundOnAtStart);
    EXPECT_TRUE(fs::is_symlink(kCfg));
    EXPECT_FALSE(fs::exists("gone"));
}

// Mode 000 keeps an ordinary player from reading the file; root reads it anyway.
// Either way nobody may write it: the file and its mode stay as they were.
TEST_F(ConfigFaults, FileWithoutAnyPermissionIsLeftAlone)
{
    const Bytes original = settingsBytes(1, 1);
    writeBytes(kCfg, original);
    ASSERT_EQ(::chmod(kCfg.c_str(), 0), 0);
    const Outcome outcome = openAndEscape(true);
    const bool root = ::geteuid() == 0;
    EXPECT_EQ(outcome.soundOnAtStart, root);
    EXPECT_EQ(outcome.musicOnAtStart, root);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(modeOf(kCfg), 0u);
    ::chmod(kCfg.c_str(), 0644);
    EXPECT_EQ(readBytes(kCfg), original);
}

TEST_F(ConfigFaults, WriteProtectedFileIsReadButLeftAlone)
{
    const Bytes original = settingsBytes(0, 1);
    writeBytes(kCfg, original);
    ASSERT_EQ(::chmod(kCfg.c_str(), 0444), 0);
    const Outcome outcome = openAndEscape(true);
    EXPECT_FALSE(outcome.soundOnAtStart);
    EXPECT_TRUE(outcome.musicOnAtStart);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(readBytes(kCfg), original);
    EXPECT_EQ(modeOf(kCfg), 0444u);
}

// As root, the missing write bits are what marks the folder read-only (root
// could write it); storage/ConfigFileTest.cpp checks this as an ordinary user,
// and that a missing file is not made there.
TEST_F(ConfigFaults, ReadOnlyFolderKeepsItsFileUpToDateAndGetsNothingNew)
{
    fs::create_directory("ro");
    writeBytes("ro/dorvel.cfg", settingsBytes(1, 0));
    ASSERT_EQ(::chmod("ro", 0555), 0);
    fs::current_path("ro");
    const Outcome outcome = openAndEscape(true);
    EXPECT_TRUE(outcome.soundOnAtStart);
    EXPECT_EQ(readBytes(kCfg), settingsBytes(0, 0)) << "the sound switch clicked off is stored";
    EXPECT_EQ(folderEntries("."), std::vector<std::string> { "dorvel.cfg" });
    fs::current_path(dir.path());
    ::chmod("ro", 0755);
}

// Another copy of the program holds the lock while this one closes its start
// screen, longer than the 2 s this one waits, and lets go before a second wait
// would end. What could not be read must not be written back: the file keeps its
// list. The other copy locks the folder, and the side file older builds locked.
TEST_F(ConfigFaults, LockHeldAcrossTheReadLeavesTheFileAlone)
{
    writeBytes(kCfg, settingsBytes(1, 1));
    MessageRecorder recorder;
    app::TfrmDorvel20Main window(sound, library, clock, display);
    window.show();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        const int folder = ::open(".", O_RDONLY | O_DIRECTORY);
        const int side = ::open("dorvel.cfg.lock", O_RDWR | O_CREAT, 0644);
        const timespec hold { 3, 0 };
        if (::flock(folder, LOCK_EX) != 0 || ::flock(side, LOCK_EX) != 0
            || ::write(ready[1], "1", 1) != 1)
            ::_exit(1);
        ::nanosleep(&hold, nullptr);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    QTest::keyClick(&window, Qt::Key_Escape);
    ASSERT_EQ(::waitpid(other, nullptr, 0), other);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(readBytes(kCfg), settingsBytes(1, 1));
    fs::remove("dorvel.cfg.lock");
}

// Name lengths above 10 and negative points can only come from an edited or
// damaged file. They are carried byte for byte, shown cut to ten characters and
// with their sign, and a game's result still finds its place among them.
TEST_F(ConfigFaults, DamagedEntriesAreCarriedShownSanelyAndMergedInto)
{
    Bytes original = settingsBytes(1, 1);
    auto entry = [&](int k) { return original.begin() + 4 + 16 * (k - 1); };
    auto setPoints = [&](int k, std::int32_t points) {
        const auto value = static_cast<std::uint32_t>(points);
        for (int i = 0; i < 4; ++i)
            entry(k)[12 + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    for (int k = 1; k <= 20; ++k) {
        entry(k)[0] = 3;
        entry(k)[1] = 'A';
        entry(k)[2] = 'b';
        entry(k)[3] = static_cast<std::uint8_t>('a' + k);
        setPoints(k, 200 - 10 * k);
    }
    entry(1)[0] = 11; // one past the limit
    std::copy_n("Zehnzeichen+", 10, entry(1) + 1);
    entry(4)[0] = 255;
    std::copy_n("\xC4rgerlich!", 10, entry(4) + 1); // "Ärgerlich!" in Windows-1252
    setPoints(19, -5);
    setPoints(20, INT_MIN);
    writeBytes(kCfg, original);

    const Outcome outcome = openAndEscape(false);
    EXPECT_TRUE(outcome.soundOnAtStart);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(readBytes(kCfg), original) << "the start screen stores the switches only";

    auto expectRows = [](const std::map<int, std::pair<QString, QString>> &rows) {
        dialogs::TfrmHighscore window;
        for (const auto &[row, texts] : rows) {
            SCOPED_TRACE(row);
            EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblName%1").arg(row))->text(),
                texts.first);
            EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblPunkte%1").arg(row))->text(),
                texts.second);
        }
    };
    expectRows({ { 1, { "Zehnzeiche", "190" } }, { 2, { "Abc", "180" } },
        { 4, { QStringLiteral("Ärgerlich!"), "160" } }, { 19, { "Abt", "-5" } },
        { 20, { "Abu", "-2147483648" } } });

    // A game ending with 175 points enters at place 3; the damaged name below it
    // moves down as the ten characters it shows, the one above keeps its bytes,
    // and the switches stay as they were.
    {
        MessageRecorder recorder;
        game::TfrmDorvel20Game table(sound, library, clock);
        table.playerCount = 1;
        table.findChild<QLabel *>(QStringLiteral("lblSpieler1"))->setText(QStringLiteral("Neu"));
        table.sums[1][5] = 175;
        table.enterHighscores();
    }
    const Bytes merged = readBytes(kCfg);
    ASSERT_EQ(merged.size(), storage::kConfigRecordSize);
    EXPECT_TRUE(std::equal(merged.begin(), merged.begin() + 4 + 16, original.begin()));
    EXPECT_EQ(merged[4 + 16 * 4], 10) << "the moved damaged entry now says what it holds";
    expectRows({ { 1, { "Zehnzeiche", "190" } }, { 2, { "Abc", "180" } }, { 3, { "Neu", "175" } },
        { 4, { "Abd", "170" } }, { 5, { QStringLiteral("Ärgerlich!"), "160" } },
        { 20, { "Abt", "-5" } } });
}

// A game that ends while the file may not be written: the merge's write fails,
// the high-score window shows the list the file holds, and the file keeps it.
TEST_F(ConfigFaults, GameEndWithAProtectedFileShowsAndKeepsTheStoredList)
{
    Bytes original = settingsBytes(1, 0);
    std::fill(original.end() - 4, original.end(), 0); // entry 20 has 0 points: any game enters
    writeBytes(kCfg, original);
    ASSERT_EQ(::chmod(kCfg.c_str(), 0444), 0);
    storage::ConfigRecord stored;
    ASSERT_TRUE(storage::readConfig(storage::kConfigFileName, stored));

    MessageRecorder recorder;
    app::TfrmDorvel20Main window(sound, library, clock, display);
    window.show();
    QStringList shown;
    RunDriver driver;
    driver.onHighscore = [&](dialogs::TfrmHighscore &highscore) {
        for (int row = 1; row <= 20; ++row) {
            shown << highscore.findChild<QLabel *>(QStringLiteral("lblName%1").arg(row))->text()
                  << highscore.findChild<QLabel *>(QStringLiteral("lblPunkte%1").arg(row))->text();
        }
    };
    driver.run([&] { QTest::mouseClick(window.imgOK, Qt::LeftButton); });
    EXPECT_FALSE(driver.timedOut());
    EXPECT_EQ(driver.turnsEntered, 13);
    QStringList expected;
    for (const storage::HighscoreEntry &entry : stored.highscores)
        expected << entry.name() << QString::number(entry.points);
    EXPECT_EQ(shown, expected);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(readBytes(kCfg), original);
}

// Without a sound device the start screen says so and stores both switches off
// at once; a file it may not write is still left alone.
TEST_F(ConfigFaults, NoSoundDeviceStoresSwitchesOffUnlessTheFileIsProtected)
{
    sound.initResult = 0;
    const Bytes original = settingsBytes(1, 1);
    writeBytes(kCfg, original);
    Outcome outcome = openAndEscape(true);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].kind, stage::MessageKind::Information);
    EXPECT_EQ(outcome.boxes[0].title, QStringLiteral("Information"));
    EXPECT_EQ(outcome.boxes[0].text, platform::noSoundCardText());
    EXPECT_FALSE(outcome.soundOnAtStart);
    EXPECT_FALSE(outcome.musicOnAtStart);
    Bytes expected = original;
    expected[0] = 0;
    expected[1] = 0;
    EXPECT_EQ(readBytes(kCfg), expected);

    writeBytes(kCfg, original);
    ASSERT_EQ(::chmod(kCfg.c_str(), 0444), 0);
    outcome = openAndEscape(true);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].text, platform::noSoundCardText());
    EXPECT_EQ(readBytes(kCfg), original);
}

} // namespace
