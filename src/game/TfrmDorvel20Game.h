#pragma once

#include "RandomGenerator.h"
#include "ScoringRules.h"
#include "dice3d/DiceScene.h"
#include "dice3d/RollAnimation.h"
#include "dice3d/TAsyncTimer.h"
#include "platform/SoundLibrary.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>

class QLabel;

namespace dorvel::platform {
class Clock;
class ResourceLoader;
class ResourceStream;
} // namespace dorvel::platform

namespace dorvel::dice3d {
class DiceView;
class SceneObject;
} // namespace dorvel::dice3d

namespace dorvel::game {

class TagButton;
class TagLabel;

/**
 * The game table (`frmDorvel20Game`): the score sheet for up to four players,
 * the roll button, the throw and round counters, the row marker and the 3D view
 * of the five dice. It holds the whole state of a running game and drives the
 * turn cycle: roll, stop, settle, hold, roll again, choose a row. After the
 * thirteenth round it merges the totals into the high-score list and shows it.
 *
 * The start screen creates it, sets the sound flags, the borrowed samples, the
 * player count and the name headers, calls loadGameSounds(), clearScoreSheet()
 * and nextTurn() in this order and shows it with exec().
 *
 * The game state is public so that tests can read it (and set dieValue to reach
 * a given result); arrays are indexed like the score sheet, from 1, with the
 * unused index 0 left at zero.
 */
class TfrmDorvel20Game : public QDialog
{
    Q_OBJECT
public:
    /// Game states: turn starting, rolling, settling, settled (4 is never used).
    static constexpr std::uint8_t kTurnStarting = 1;
    static constexpr std::uint8_t kRolling = 2;
    static constexpr std::uint8_t kSettling = 3;
    static constexpr std::uint8_t kSettled = 5;

    /// Runs FormCreate.
    TfrmDorvel20Game(platform::SoundLibrary &sound, platform::ResourceLoader &resources,
        platform::Clock &clock, QWidget *parent = nullptr);
    ~TfrmDorvel20Game() override;

    // Set by the start screen before the calls below.
    bool soundAvailable = false;
    bool soundOn = false;
    bool musicOn = false;
    platform::HSAMPLE musicSample = 0; ///< borrowed, never freed here
    platform::HSAMPLE clickSample = 0; ///< borrowed, never freed here
    int playerCount = 1;

    /// Loads the eight game samples (only with sound available and on).
    void loadGameSounds();
    /// Empties all four columns; round 1, no current player.
    void clearScoreSheet();
    /// Starts the next player's turn, or ends the game after round 13.
    void nextTurn();
    /// Recomputes and shows the sums of every playing column.
    void updateSums();
    /// Merges every player's grand total into the high-score list in "dorvel.cfg".
    void enterHighscores();

    // The rules over the current dice.
    int countValue(int v) const;
    bool isFiveOfAKind() const;
    std::int32_t scoreUpper(int v) const;
    std::int32_t scoreThreeOfAKind() const;
    std::int32_t scoreFourOfAKind() const;
    std::int32_t scoreFullHouse() const;
    std::int32_t scoreSmallStraight() const;
    std::int32_t scoreLargeStraight() const;
    std::int32_t scoreChance() const;

    // Event handlers.
    void FormCreate();
    void FormClose();
    /// Returns true when the key was handled (Escape).
    bool FormKeyDown(int key);
    void btnWuerfelnClick();
    void DorvlKategoMove(TagLabel *Sender);
    void DorvlKategoDown(TagLabel *Sender, Qt::MouseButton Button);
    void GLSceneViewer1MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void AsyncTimer1Timer(dice3d::TAsyncTimer *Sender);

    /// The die click once the object under the mouse is known: holds or releases
    /// a die (nothing for the slab, for nullptr, or outside the settled state).
    void holdOrRelease(dice3d::SceneObject *hit);

    // Game state.
    int currentPlayer = 0;
    int roundNo = 1;
    int throwNo = 0;
    std::uint8_t GameState = kTurnStarting;
    std::array<std::uint8_t, 6> dieValue { 0, 1, 1, 1, 1, 1 };
    std::array<bool, 6> held {};
    std::array<std::array<std::int32_t, 14>, 5> scores {};
    std::array<std::array<std::int32_t, 6>, 5> sums {};
    RandomGenerator random;

    // Game samples, owned; 0 when not loaded.
    std::array<platform::HSAMPLE, 5> playerSample {};
    platform::HSAMPLE rollSample = 0;
    platform::HSAMPLE stopSample = 0;
    platform::HSAMPLE hoverSample = 0;
    platform::HSAMPLE chosenSample = 0;

    // The roll animation: angles, done flags, face table and its timer.
    dice3d::RollAnimation animation;
    dice3d::TAsyncTimer AsyncTimer1;
    dice3d::DiceScene GLScene1;

    // Controls (children of the window, found also by objectName).
    QLabel *imgBackground = nullptr;
    TagLabel *imgPfeil = nullptr;
    TagButton *btnWuerfeln = nullptr;
    QLabel *lblWurf = nullptr;
    QLabel *lblWurfNr = nullptr;
    QLabel *lblRunde = nullptr;
    QLabel *lblRundeNr = nullptr;
    dice3d::DiceView *GLSceneViewer1 = nullptr;

    /// The current dice as the rules take them.
    Dice dice() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    QLabel *cell(const QString &name) const;
    QLabel *scoreCell(int player, int row) const;
    void playSound(platform::HSAMPLE sample);
    void showAnimationAngles();
    void endOfGame();

    platform::SoundLibrary &m_sound;
    platform::ResourceLoader &m_resources;
    platform::Clock &m_clock;
    /// The raw data of the eight game samples, kept while the samples exist.
    std::array<std::unique_ptr<platform::ResourceStream>, 8> m_soundStreams;
};

} // namespace dorvel::game
