// A resource library that is missing, cut short, damaged or too large as a whole
// ends the program with its German message before anything is written; a library that
// lacks one resource, or holds junk under its ID, still gives a whole run from
// the start screen through the names dialog and a game back to the start
// screen, only without that picture, sound or die model.
#include "RobustnessSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "dice3d/DieActor.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace dorvel;
using namespace dorvel::test;
namespace fs = std::filesystem;

namespace {

fs::path realLibraryPath()
{
    for (const fs::path &folder : resources::resourceSearchFolders()) {
        if (fs::exists(folder / "redizo.dll"))
            return folder / "redizo.dll";
    }
    return {};
}

// An empty library's header declaring `size` bytes, in a file of that size
// whose rest is a hole.
void writeSparseLibrary(const fs::path &file, std::uint64_t size)
{
    Bytes header(16, 0);
    const std::uint32_t fields[] { 1, 0, static_cast<std::uint32_t>(size) };
    std::copy_n("RDZL", 4, header.begin());
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t b = 0; b < 4; ++b)
            header[4 + 4 * i + b] = static_cast<std::uint8_t>(fields[i] >> (8 * b));
    }
    writeBytes(file, header);
    fs::resize_file(file, size);
}

TEST(WholeLibraryFaults, MissingCutShortJunkOrHugeLibraryEndsTheProgramWithItsMessage)
{
    const fs::path real = realLibraryPath();
    ASSERT_FALSE(real.empty()) << "build the redizo target";
    const Bytes bytes = readBytes(real);
    ASSERT_GT(bytes.size(), 64u);

    struct Case
    {
        std::string name;
        std::function<void(const fs::path &)> make;
    };
    const std::vector<Case> cases {
        { "missing", [](const fs::path &) {} },
        { "empty", [](const fs::path &file) { writeBytes(file, {}); } },
        { "header only",
            [&](const fs::path &file) {
                writeBytes(file, Bytes(bytes.begin(), bytes.begin() + 16));
            } },
        { "cut in half",
            [&](const fs::path &file) {
                writeBytes(
                    file, Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2)));
            } },
        { "one byte short",
            [&](const fs::path &file) {
                writeBytes(file, Bytes(bytes.begin(), bytes.end() - 1));
            } },
        { "junk", [](const fs::path &file) { writeBytes(file, junk(100000)); } },
        { "a folder", [](const fs::path &file) { fs::create_directory(file); } },
        // Sparse files: an empty library whose header declares 64 MiB, valid but
        // for its size, and one too large for the format and for memory.
        { "64 MiB", [](const fs::path &file) { writeSparseLibrary(file, 64ull << 20); } },
        { "1 TiB", [](const fs::path &file) { writeSparseLibrary(file, 1ull << 40); } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCurrentDir dir;
        fs::create_directory("lib");
        c.make(dir.path() / "lib" / "redizo.dll");
        // The program's own search, pointed at a folder that holds the bad file.
        resources::SearchPathResourceLoader loader({ dir.path() / "lib" });
        MessageRecorder recorder;
        RecordingSoundLibrary sound;
        StubDisplay display;
        FixedClock clock { 36'000'000 };
        app::TfrmDorvel20Main window(sound, loader, clock, display);

        EXPECT_TRUE(window.startFailed());
        EXPECT_EQ(window.exitCode(), app::kExitFatal);
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0].kind, stage::MessageKind::Error);
        EXPECT_EQ(recorder.messages[0].title, QStringLiteral("Fehler"));
        EXPECT_EQ(recorder.messages[0].text, platform::libraryMissingEndingText());
        EXPECT_TRUE(sound.calls.empty());
        EXPECT_TRUE(display.calls.empty());
        EXPECT_EQ(folderEntries("."), std::vector<std::string> { "lib" }) << "nothing written";
    }
}

// One way of spoiling the library, and what the run must then lack.
struct Spoil
{
    std::string name;
    std::vector<int> removed;
    std::map<int, Bytes> replaced;
    bool startBackground = true;
    bool dialogBackground = true;
    bool tableBackground = true;
    bool dieModel = true;
    int startSamples = 3; // samples the start screen loads
    int gameSamples = 8; // samples each game table loads
    bool overwrittenAfterStart = false; // the file cut short and rewritten in place
};

void PrintTo(const Spoil &spoil, std::ostream *out)
{
    *out << spoil.name;
}

std::vector<Spoil> spoils()
{
    const Bytes notAJpeg = junk(5000, 1);
    // A JPEG's start-of-image marker and then nothing usable.
    Bytes cutJpeg { 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00 };
    std::vector<Spoil> result;
    // Each entry: a name, the IDs taken out, the IDs replaced, and what is lost.
    auto add = [&](const std::string &name, std::vector<int> removed, std::map<int, Bytes> replaced,
                   const std::function<void(Spoil &)> &loses) {
        Spoil spoil;
        spoil.name = name;
        spoil.removed = std::move(removed);
        spoil.replaced = std::move(replaced);
        loses(spoil);
        result.push_back(std::move(spoil));
    };
    add("without107", { 107 }, {}, [](Spoil &s) { s.startBackground = false; });
    add("junk107", {}, { { 107, notAJpeg } }, [](Spoil &s) { s.startBackground = false; });
    add("without113", { 113 }, {}, [](Spoil &s) { s.dialogBackground = false; });
    add("cut113", {}, { { 113, cutJpeg } }, [](Spoil &s) { s.dialogBackground = false; });
    add("without106", { 106 }, {}, [](Spoil &s) { s.tableBackground = false; });
    add("junk106", {}, { { 106, notAJpeg } }, [](Spoil &s) { s.tableBackground = false; });
    add("without105", { 105 }, {}, [](Spoil &s) { s.dieModel = false; });
    add("junk105", {}, { { 105, junk(20000, 2) } }, [](Spoil &s) { s.dieModel = false; });
    add("without117", { 117 }, {}, [](Spoil &s) { s.startSamples = 2; });
    add("without115and116", { 115, 116 }, {}, [](Spoil &s) { s.startSamples = 1; });
    add("without121to128", { 121, 122, 123, 124, 125, 126, 127, 128 }, {},
        [](Spoil &s) { s.gameSamples = 0; });
    // Same file, same inode, while the program runs: the run must not notice.
    add("overwrittenWhileRunning", {}, {}, [](Spoil &s) { s.overwrittenAfterStart = true; });
    add("empty", { 105, 106, 107, 113, 115, 116, 117, 121, 122, 123, 124, 125, 126, 127, 128 }, {},
        [](Spoil &s) {
            s.startBackground = s.dialogBackground = s.tableBackground = s.dieModel = false;
            s.startSamples = s.gameSamples = 0;
        });
    return result;
}

class SpoiledResource : public testing::TestWithParam<Spoil>
{
};

TEST_P(SpoiledResource, AWholeRunStillWorksWithoutIt)
{
    const Spoil &spoil = GetParam();
    std::map<int, Bytes> resources = realResources();
    ASSERT_FALSE(resources.empty()) << "build the redizo target";
    for (const int id : spoil.removed)
        resources.erase(id);
    for (const auto &[id, data] : spoil.replaced)
        resources[id] = data;
    // The spoiled library goes through the real file loader, as a file would.
    ScopedCurrentDir dir;
    writeBytes("redizo.dll", packLibrary(resources));
    resources::FileResourceLoader library(dir.path() / "redizo.dll");
    writeBytes(storage::kConfigFileName, settingsBytes(1, 1));

    MessageRecorder recorder;
    RecordingSoundLibrary sound;
    StubDisplay display;
    FixedClock clock { 36'000'000 };
    app::TfrmDorvel20Main window(sound, library, clock, display);
    ASSERT_FALSE(window.startFailed());
    window.show();
    if (spoil.overwrittenAfterStart)
        writeBytes("redizo.dll", junk(1000, 3));
    EXPECT_EQ(!window.imgHintergrund->pixmap().isNull(), spoil.startBackground);
    EXPECT_EQ(static_cast<int>(sound.callsStartingWith("SampleLoad").size()), spoil.startSamples);

    bool dialogBackground = false;
    bool tableBackground = false;
    int meshes = 0;
    int tableSampleLoads = -1;
    RunDriver driver;
    driver.escapeAfterTurns = 2;
    driver.afterTurn = [&](game::TfrmDorvel20Game &table) {
        tableBackground = !table.imgBackground->pixmap().isNull();
        meshes = 0;
        for (int n = 1; n <= 5; ++n)
            meshes += table.GLScene1.die(n).mesh() != nullptr ? 1 : 0;
        tableSampleLoads
            = static_cast<int>(sound.callsStartingWith("SampleLoad").size()) - spoil.startSamples;
    };
    QTimer dialogWatch;
    dialogWatch.setInterval(2);
    QObject::connect(&dialogWatch, &QTimer::timeout, [&] {
        if (auto *names = qobject_cast<dialogs::TfrmSpieler *>(QApplication::activeModalWidget()))
            dialogBackground = !names->imgSpielerBckGrnd->pixmap().isNull();
    });
    dialogWatch.start();
    driver.run([&] { QTest::mouseClick(window.imgOK, Qt::LeftButton); });
    dialogWatch.stop();

    EXPECT_FALSE(driver.timedOut());
    EXPECT_EQ(driver.namesDialogs, 1);
    EXPECT_EQ(driver.gameTables, 1);
    EXPECT_EQ(driver.turnsEntered, 2);
    EXPECT_EQ(dialogBackground, spoil.dialogBackground);
    EXPECT_EQ(tableBackground, spoil.tableBackground);
    EXPECT_EQ(meshes, spoil.dieModel ? 5 : 0);
    EXPECT_EQ(tableSampleLoads, spoil.gameSamples);
    EXPECT_TRUE(window.isVisible()) << "back on the start screen";

    QSignalSpy closed(&window, &app::TfrmDorvel20Main::closed);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(window.exitCode(), app::kExitNormal);
    EXPECT_TRUE(recorder.messages.empty()) << recorder.messages.front().text.toStdString();
    EXPECT_EQ(SampleLedger::of(sound.calls).faults(), std::vector<std::string> {});
    EXPECT_EQ(readBytes(storage::kConfigFileName), settingsBytes(1, 1));
}

INSTANTIATE_TEST_SUITE_P(Library, SpoiledResource, testing::ValuesIn(spoils()),
    [](const testing::TestParamInfo<Spoil> &param) { return param.param.name; });

} // namespace
