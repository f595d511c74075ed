// SIGTERM in the middle of a game, sent to the real program on the suite's X
// server: it ends, "dorvel.cfg" keeps every byte (the high scores above all),
// no half-written file is left, and the display shows the mode it had before.
#include "RobustnessSupport.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <sys/prctl.h>
#include <sys/wait.h>

using namespace dorvel;
using namespace dorvel::test;
namespace fs = std::filesystem;

namespace {

constexpr int kPatienceMs = 20000;

// Runs a helper tool to its end and answers what it printed ("" when it failed).
QString tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

struct Geometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Visible windows with exactly this title, with their geometry. (The search
// lists every visible window and the title is compared here: a pattern with
// anchors misses some of the program's windows.)
std::vector<Geometry> windowsNamed(const QString &title)
{
    std::vector<Geometry> result;
    const QString ids
        = tool(QStringLiteral("xdotool"), { "search", "--onlyvisible", "--name", ".*" });
    for (const QString &id : ids.split('\n', Qt::SkipEmptyParts)) {
        const QString name = tool(QStringLiteral("xdotool"), { "getwindowname", id.trimmed() });
        if (name.trimmed() != title)
            continue;
        const QString shell
            = tool(QStringLiteral("xdotool"), { "getwindowgeometry", "--shell", id.trimmed() });
        Geometry g;
        for (const QString &line : shell.split('\n', Qt::SkipEmptyParts)) {
            const QStringList pair = line.split('=');
            if (pair.size() != 2)
                continue;
            const int value = pair[1].toInt();
            if (pair[0] == "X")
                g.x = value;
            else if (pair[0] == "Y")
                g.y = value;
            else if (pair[0] == "WIDTH")
                g.width = value;
            else if (pair[0] == "HEIGHT")
                g.height = value;
        }
        result.push_back(g);
    }
    return result;
}

// Polls `condition` every 50 ms for at most kPatienceMs, while the program runs.
bool waitFor(QProcess &program, const std::function<bool()> &condition)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kPatienceMs) {
        if (program.state() != QProcess::Running)
            return false;
        if (condition())
            return true;
        program.waitForFinished(50);
    }
    return false;
}

// Clicks at most every 400 ms, so that repeats never make a double click.
class Clicker
{
public:
    void click(int x, int y)
    {
        if (m_last.isValid() && m_last.elapsed() < 400)
            return;
        tool(QStringLiteral("xdotool"),
            { "mousemove", QString::number(x), QString::number(y), "click", "1" });
        m_last.start();
    }

private:
    QElapsedTimer m_last;
};

// The screen's modes as xrandr lists them, the current one marked.
QString displayModes()
{
    return tool(QStringLiteral("xrandr"), { "-q" });
}

TEST(Sigterm, MidGameKillKeepsTheSettingsAndTheDisplayMode)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs an X server";
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "dorvel20";
    ASSERT_TRUE(fs::exists(program)) << program;
    ASSERT_TRUE(windowsNamed("Halvenor Dorvel DAVED").empty())
        << "another copy of the program is on this display";

    ScopedCurrentDir dir;
    const Bytes settings = settingsBytes(0, 1);
    writeBytes(storage::kConfigFileName, settings);
    const QString modesBefore = displayModes();
    ASSERT_FALSE(modesBefore.isEmpty());
    // Orphans of this test come to it, so the program's display watchdog can be
    // waited for once the program is gone.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    QProcess game;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ALSOFT_DRIVERS"), QStringLiteral("null"));
    game.setProcessEnvironment(environment);
    game.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    game.setStandardOutputFile(QStringLiteral("/dev/null"));
    game.setStandardErrorFile(QStringLiteral("/dev/null"));
    game.start(QString::fromStdString(program.string()), {});
    ASSERT_TRUE(game.waitForStarted(kPatienceMs));

    // The start screen, at the top left; then its start picture (576,309, 70×70).
    const bool started = waitFor(game, [] {
        for (const Geometry &g : windowsNamed("Halvenor Dorvel DAVED")) {
            if (g.x == 0 && g.y == 0 && g.width == 800 && g.height == 600)
                return true;
        }
        return false;
    });
    ASSERT_TRUE(started) << "no start screen";

    // A click that arrives while a window is still being mapped can be lost, so
    // each click is repeated until what it leads to has appeared. A repeat that
    // comes late lands where it does nothing (the start screen is blocked by the
    // dialog; the game table ignores clicks beside its rows while rolling).
    Clicker mouse;
    Geometry dialog;
    const bool asked = waitFor(game, [&] {
        const auto found = windowsNamed("Spieler");
        if (found.empty()) {
            mouse.click(576 + 35, 309 + 35);
            return false;
        }
        dialog = found.front();
        return true;
    });
    ASSERT_TRUE(asked) << "no names dialog";

    // OK is the dialog's SpeedButton1 at 71,174 (73×22) within the 220×206 client
    // area, inside a frame of (width - 220) / 2. In a game the dialog has gone and
    // the dice view (150×425) is up.
    const int frame = std::max(0, (dialog.width - 220) / 2);
    const bool playing = waitFor(game, [&] {
        if (!windowsNamed("Spieler").empty()) {
            mouse.click(dialog.x + frame + 71 + 36, dialog.y + frame + 174 + 11);
            return false;
        }
        for (const Geometry &g : windowsNamed("Halvenor Dorvel DAVED")) {
            if (g.width == 150 && g.height == 425)
                return true;
        }
        return false;
    });
    if (!playing)
        tool("import", { "-window", "root", "/tmp/sigterm-fail.png" });
    ASSERT_TRUE(playing) << "no game table; names dialog up: " << windowsNamed("Spieler").size()
                         << " at " << dialog.x << "," << dialog.y << " " << dialog.width;

    game.terminate(); // SIGTERM
    const bool ended = game.waitForFinished(kPatienceMs);
    if (!ended) {
        game.kill();
        game.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "the program did not end on SIGTERM";

    // The watchdog puts the mode back and ends; wait until no child is left.
    QElapsedTimer clock;
    clock.start();
    bool childrenGone = false;
    while (clock.elapsed() < kPatienceMs) {
        int status = 0;
        const pid_t reaped = ::waitpid(-1, &status, WNOHANG);
        if (reaped < 0 && errno == ECHILD) {
            childrenGone = true;
            break;
        }
        if (reaped == 0)
            QTest::qWait(20);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(childrenGone) << "a child of the program is still running";

    EXPECT_EQ(displayModes(), modesBefore);
    EXPECT_TRUE(windowsNamed("Halvenor Dorvel DAVED").empty());
    EXPECT_EQ(readBytes(storage::kConfigFileName), settings);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string> { "dorvel.cfg" });
}

} // namespace
