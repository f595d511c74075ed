#pragma once

#include "RandomGenerator.h"
#include "ScoringRules.h"
#include "dice3d/DiceScene.h"
#include "dice3d/RollAnimation.h"
#include "dice3d/TAsyncTimer.h"
#include "dice3d/TurnState.h"
#include "sound/SoundLibrary.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QLabel;

namespace dorvel::platform {
class Clock;
}

namespace dorvel::resources {
class ResourceLoader;
class ResourceStream;
} // namespace dorvel::resources

namespace dorvel::dice3d {
class DiceView;
class SceneObject;
} // namespace dorvel::dice3d

namespace dorvel::game {

class TagButton;
class TagLabel;

/// What the start screen hands the game table for a game.
struct GameSetup
{
    bool soundAvailable = false;
    bool soundOn = false;
    bool musicOn = false;
    sound::HSAMPLE musicSample = 0; ///< lent by the start screen
    sound::HSAMPLE clickSample = 0; ///< lent by the start screen
    int playerCount = 1;
    /// The names from the names dialog, players 1..4 at indexes 0..3.
    std::array<QString, 4> names;
};

/**
 * The game table (`frmDorvel20Game`): the score sheet for up to four players,
 * the roll button, the throw and round counters, the row marker and the 3D view
 * of the five dice. It holds the whole state of a running game and drives the
 * turn cycle: roll, stop, settle, hold, roll again, choose a row. After the
 * thirteenth round it merges the totals into the high-score list and shows it.
 *
 * The start screen creates it, hands it a game with startGame() and shows it
 * with exec().
 *
 * The game state is public so that tests can read it (and set dieValue to reach
 * a given result); arrays are indexed like the score sheet, from 1, with the
 * unused index 0 left at zero.
 */
class TfrmDorvel20Game : public QDialog
{
    Q_OBJECT
public:
    /// The values of GameState: kTurnStarting, kRolling, kSettling, kSettled.
    using enum dice3d::TurnState;

    /// Runs FormCreate.
    TfrmDorvel20Game(sound::SoundLibrary &sound, resources::ResourceLoader &resources,
        platform::Clock &clock, QWidget *parent = nullptr);
    ~TfrmDorvel20Game() override;

    /// Takes over the setup's switches, samples, player count and names (in
    /// the row of name headers), then loads the game sounds, clears the score
    /// sheet and starts the first turn, in that order.
    void startGame(const GameSetup &setup);

    // Set by startGame().
    bool soundAvailable = false;
    bool soundOn = false;
    bool musicOn = false;
    sound::HSAMPLE musicSample = 0; ///< borrowed, never freed here
    sound::HSAMPLE clickSample = 0; ///< borrowed, never freed here
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
    dice3d::TurnState GameState = kTurnStarting;
    std::array<std::uint8_t, 6> dieValue { 0, 1, 1, 1, 1, 1 };
    std::array<bool, 6> held {};
    std::array<std::array<std::int32_t, 14>, 5> scores {};
    std::array<std::array<std::int32_t, 6>, 5> sums {};
    RandomGenerator random;

    // Game samples, owned; 0 when not loaded.
    std::array<sound::HSAMPLE, 5> playerSample {};
    sound::HSAMPLE rollSample = 0;
    sound::HSAMPLE stopSample = 0;
    sound::HSAMPLE hoverSample = 0;
    sound::HSAMPLE chosenSample = 0;

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

    /// The current dice as the rules (ScoringRules.h) take them.
    Dice dice() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void createScoreSheet();
    QLabel *cell(const QString &name) const;
    QLabel *scoreCell(int player, int row) const;
    QLabel *sumCell(int player, int sum) const;
    void playSound(sound::HSAMPLE sample);
    /// The eight game samples this window owns, in the order they are loaded.
    std::array<sound::HSAMPLE *, 8> ownedSamples();
    void showAnimationAngles();
    void endOfGame();

    sound::SoundLibrary &m_sound;
    resources::ResourceLoader &m_resources;
    platform::Clock &m_clock;
    /// The raw data of the eight game samples, kept while the samples exist.
    std::array<std::unique_ptr<resources::ResourceStream>, 8> m_soundStreams;
};

} // namespace dorvel::game
