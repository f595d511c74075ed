#pragma once

// Shared by the robustness tests: a fixed clock, a display stand-in that can
// refuse, a message-box recorder, resource libraries built from the real one
// with resources taken out or spoiled, the open file descriptors, and a driver
// that plays a whole run through the modal windows (names dialog, game table, high scores).

#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "display/DisplayMode.h"
#include "game/TagButton.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "platform/MessageTexts.h"
#include "resources/ResourceFormat.h"
#include "resources/ResourceLibrary.h"
#include "resources/ResourceLoaders.h"
#include "stage/MessageBox.h"
#include "storage/ConfigRecord.h"
#include "support/Files.h"
#include "support/FixedClock.h"
#include "support/WindowStandIns.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace dorvel::test {

/// The display stand-in with a 16-bit 800×600 mode on offer.
class StubDisplay final : public RecordingDisplayModes
{
public:
    StubDisplay()
    {
        available = { { 1024, 768, 32 }, { 800, 600, 16 } };
        shown = { 1024, 768, 32 };
    }
};

// ---- Open files ----------------------------------------------------------

/// What each open file descriptor of this process points at, by number.
inline std::map<int, std::string> openDescriptors()
{
    std::map<int, std::string> result;
    DIR *dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return result;
    const int own = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = std::atoi(entry->d_name);
        if (fd == own)
            continue;
        char target[512] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t length = ::readlink(link.c_str(), target, sizeof(target) - 1);
        result[fd] = length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "?";
    }
    ::closedir(dir);
    return result;
}

// ---- Resource libraries --------------------------------------------------

/// The resources of the real library next to the test executable, by ID.
inline std::map<int, Bytes> realResources()
{
    std::map<int, Bytes> result;
    const resources::ResourceModule *module
        = resources::systemResourceLoader().loadLibrary(resources::kResourceLibraryName);
    if (module == nullptr)
        return result;
    for (const resources::ResourceEntry &entry : module->directory().entries) {
        if (entry.type != resources::RT_RCDATA)
            continue;
        const auto data = module->directory().data(entry);
        result[static_cast<int>(entry.id)] = Bytes(data.begin(), data.end());
    }
    return result;
}

/// Bytes that are no picture, no model and no sound.
inline Bytes junk(std::size_t size, std::uint8_t seed = 7)
{
    Bytes bytes(size);
    std::uint32_t state = 0x9E3779B9u ^ seed;
    for (auto &byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

/// A library image (the packed bytes a file would hold) of these resources.
inline Bytes packLibrary(const std::map<int, Bytes> &resources)
{
    std::vector<resources::ResourceInput> inputs;
    for (const auto &[id, data] : resources)
        inputs.push_back({ resources::RT_RCDATA, static_cast<std::uint32_t>(id), data });
    return resources::buildResourceLibrary(std::move(inputs)).value_or(Bytes {});
}

// ---- Driving a whole run -------------------------------------------------

/**
 * Answers the modal windows of a run as a quick player would: OK in the names
 * dialog, each turn of the game table stopped, settled (by ticking the
 * animation directly) and entered in the first free row, and a button of the
 * high-score window. It polls QApplication::activeModalWidget(); each step is
 * posted to the event loop rather than run inside the poll, so a step that
 * opens a window modally (the last row opens the high scores) does not stop the
 * driver from answering that window. A run that takes longer than `limit`
 * is ended by closing whatever is open, and timedOut() says so.
 */
class RunDriver
{
public:
    /// After this many row entries in one game table the driver presses Escape
    /// there (0: play every game to its end).
    int escapeAfterTurns = 0;
    /// Answers of the high-score windows in order; "Beenden" once they run out.
    std::vector<bool> playAgain;
    /// Called after each row entry with the game table.
    std::function<void(game::TfrmDorvel20Game &)> afterTurn;
    /// Called with each high-score window before it is answered.
    std::function<void(dialogs::TfrmHighscore &)> onHighscore;

    int turnsEntered = 0;
    int namesDialogs = 0;
    int highscoreWindows = 0;
    int gameTables = 0;

    explicit RunDriver(int limitMs = 60000)
        : m_limitMs(limitMs)
    {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
    }

    /// Runs `trigger` (which shows the first modal window) with the driver on.
    void run(const std::function<void()> &trigger)
    {
        m_clock.start();
        m_poll.start();
        trigger();
        m_poll.stop();
    }

    bool timedOut() const { return m_timedOut; }

private:
    void post(const std::function<void()> &step)
    {
        m_pending = true;
        // Bound to a member, so a step still queued when the driver goes is dropped.
        QMetaObject::invokeMethod(
            &m_poll,
            [this, step] {
                m_pending = false;
                step();
            },
            Qt::QueuedConnection);
    }

    void poll()
    {
        if (m_pending)
            return;
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        if (m_clock.elapsed() > m_limitMs) {
            m_timedOut = true;
            QPointer<QWidget> target(modal);
            post([target] {
                if (auto *highscore = qobject_cast<dialogs::TfrmHighscore *>(target.data()))
                    highscore->findChild<QPushButton *>(QStringLiteral("btnBeenden"))->click();
                else if (target)
                    QTest::keyClick(target.data(), Qt::Key_Escape);
            });
            return;
        }
        if (auto *names = qobject_cast<dialogs::TfrmSpieler *>(modal)) {
            if (names == m_lastNames)
                return;
            m_lastNames = names;
            ++namesDialogs;
            QPointer<dialogs::TfrmSpieler> target(names);
            post([target] {
                if (target)
                    QTest::mouseClick(target->SpeedButton1, Qt::LeftButton);
            });
        } else if (auto *highscore = qobject_cast<dialogs::TfrmHighscore *>(modal)) {
            if (highscore == m_lastHighscore)
                return;
            m_lastHighscore = highscore;
            const bool again = static_cast<std::size_t>(highscoreWindows) < playAgain.size()
                && playAgain[static_cast<std::size_t>(highscoreWindows)];
            ++highscoreWindows;
            m_turnsThisTable = 0;
            QPointer<dialogs::TfrmHighscore> target(highscore);
            post([this, target, again] {
                if (target && onHighscore)
                    onHighscore(*target);
                if (target)
                    target
                        ->findChild<QPushButton *>(
                            again ? QStringLiteral("btnNochmal") : QStringLiteral("btnBeenden"))
                        ->click();
            });
        } else if (auto *table = qobject_cast<game::TfrmDorvel20Game *>(modal)) {
            if (table != m_lastTable) {
                m_lastTable = table;
                m_turnsThisTable = 0;
                ++gameTables;
            }
            QPointer<game::TfrmDorvel20Game> target(table);
            post([this, target] {
                if (target)
                    step(*target);
            });
        }
    }

    // One step of a turn: stop the roll, settle the dice, or enter a row.
    void step(game::TfrmDorvel20Game &table)
    {
        using Game = game::TfrmDorvel20Game;
        if (escapeAfterTurns > 0 && m_turnsThisTable >= escapeAfterTurns) {
            QTest::keyClick(&table, Qt::Key_Escape);
            return;
        }
        if (table.GameState == Game::kRolling && table.btnWuerfeln->isVisible()) {
            table.btnWuerfeln->click();
        } else if (table.GameState == Game::kSettling) {
            for (int tick = 0; tick < 200 && table.GameState != Game::kSettled; ++tick)
                table.AsyncTimer1Timer(&table.AsyncTimer1);
        } else if (table.GameState == Game::kSettled) {
            for (int row = 1; row <= 13; ++row) {
                auto *cell = table.findChild<QLabel *>(
                    QStringLiteral("lblSpieler%1_%2").arg(table.currentPlayer).arg(row));
                if (cell == nullptr || !cell->text().isEmpty())
                    continue;
                auto *hotArea
                    = table.findChild<game::TagLabel *>(QStringLiteral("Label%1").arg(row));
                ++m_turnsThisTable;
                ++turnsEntered;
                table.DorvlKategoMove(hotArea);
                // The last row of the game opens the high scores from in here.
                QPointer<Game> alive(&table);
                table.DorvlKategoDown(hotArea, Qt::LeftButton);
                if (alive && afterTurn)
                    afterTurn(table);
                return;
            }
        }
    }

    QTimer m_poll;
    QElapsedTimer m_clock;
    int m_limitMs;
    bool m_pending = false;
    bool m_timedOut = false;
    int m_turnsThisTable = 0;
    QPointer<QWidget> m_lastNames;
    QPointer<QWidget> m_lastHighscore;
    QPointer<QWidget> m_lastTable;
};

/// Handles loaded and freed, from a RecordingSoundLibrary's call texts.
struct SampleLedger
{
    std::vector<std::uint32_t> loaded; // non-zero handles, in load order
    std::map<std::uint32_t, int> freed; // handle -> times freed

    static SampleLedger of(const std::vector<std::string> &calls)
    {
        SampleLedger ledger;
        for (const std::string &call : calls) {
            if (call.rfind("SampleLoad(", 0) == 0) {
                const auto equals = call.rfind('=');
                const auto handle = static_cast<std::uint32_t>(std::stoul(call.substr(equals + 1)));
                if (handle != 0)
                    ledger.loaded.push_back(handle);
            } else if (call.rfind("SampleFree(", 0) == 0) {
                const auto handle = static_cast<std::uint32_t>(std::stoul(call.substr(11)));
                ++ledger.freed[handle];
            }
        }
        return ledger;
    }

    /// Loaded handles not freed exactly once, and freed handles never loaded
    /// (0 aside: freeing "no sample" is harmless by definition).
    std::vector<std::string> faults() const
    {
        std::vector<std::string> result;
        for (const std::uint32_t handle : loaded) {
            const auto it = freed.find(handle);
            const int times = it == freed.end() ? 0 : it->second;
            if (times != 1)
                result.push_back(
                    "sample " + std::to_string(handle) + " freed " + std::to_string(times) + "x");
        }
        for (const auto &[handle, times] : freed) {
            if (handle != 0 && std::find(loaded.begin(), loaded.end(), handle) == loaded.end())
                result.push_back("sample " + std::to_string(handle) + " freed, never loaded");
        }
        return result;
    }
};

} // namespace dorvel::test
