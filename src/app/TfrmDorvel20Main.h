#pragma once

#include "GLFullScreenViewer.h"
#include "sound/SoundLibrary.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QLabel;

namespace dorvel::platform {
class Clock;
}

namespace dorvel::display {
class DisplayModes;
}

namespace dorvel::resources {
class ResourceLoader;
class ResourceModule;
class ResourceStream;
} // namespace dorvel::resources

namespace dorvel::app {

class ClickableImage;
class VolumeBar;

/// Exit codes of the program.
inline constexpr int kExitNormal = 0;
/// The program could not start or had to stop: a missing resource library or
/// the wrong sound-library version.
inline constexpr int kExitFatal = 1;

/// The output rate the start screen initialises the sound library with.
inline constexpr std::uint32_t kSoundFrequency = 44100;

/**
 * The start screen (`frmDorvel20Main`), the program's main window. Startup
 * owns what lives for the whole run (the display modes, the sound library, the
 * application and the stage) and lends it here. The start screen initialises
 * and frees the sound device, owns the three start-screen samples, the sound
 * and music switches and their storage, the switch to 800×600 through its
 * full-screen viewer, and the player count. From it the user picks the number
 * of players, switches sound and music, sets the volume and starts a game
 * through the names dialog.
 *
 * Creating it runs the start-up (FormCreate). When the start-up has to end the
 * program, startFailed() is true and exitCode() says with which code; the caller
 * then ends without showing it. Closing it (by Escape or otherwise) stores the
 * switches and shuts the sound down, then emits closed(); destroying it restores
 * the display mode.
 */
class TfrmDorvel20Main : public QWidget
{
    Q_OBJECT
public:
    /// Where the window definition places the start screen before start-up moves it.
    static constexpr QPoint kDesignedPosition { 216, 128 };

    TfrmDorvel20Main(sound::SoundLibrary &sound, resources::ResourceLoader &resources,
        platform::Clock &clock, display::DisplayModes &displayModes, QWidget *parent = nullptr);
    ~TfrmDorvel20Main() override;

    bool startFailed() const { return m_startFailed; }
    /// The code the program ends with: kExitFatal after a fatal ending.
    int exitCode() const { return m_exitCode; }

    // The switches: soundAvailable is set once at start-up.
    bool soundAvailable = false;
    bool soundOn = false;
    bool musicOn = false;
    /// Number of players for the next game, 1..4; 1 at every start.
    int playerCount = 1;

    sound::HSAMPLE musicSample = 0;
    sound::HSAMPLE clickSample = 0;
    sound::HSAMPLE confirmSample = 0;

    // Event handlers.
    void FormCreate();
    void FormClose();
    void FormKeyDown(QKeyEvent *event);
    void imgSpielerClick();
    void imgSoundClick();
    void imgMusicClick();
    void imgOKClick();
    void pgbLautMouseMove(Qt::MouseButtons buttons, int x, int y);
    /// Stores the two switches in "dorvel.cfg" (read-modify-write).
    void setConfig();

    // Controls (children, also found by objectName).
    QLabel *imgHintergrund = nullptr;
    ClickableImage *imgSpieler = nullptr;
    ClickableImage *imgOK = nullptr;
    ClickableImage *imgMusic = nullptr;
    ClickableImage *imgSound = nullptr;
    QLabel *Label1 = nullptr;
    VolumeBar *pgbLaut = nullptr;
    GLFullScreenViewer GLFullScreenViewer1;

    /// The player-count pictures 1..4 (index 0 unused) and the "off" overlay.
    std::array<QPixmap, 5> playerCountPictures;
    QPixmap offPicture;

Q_SIGNALS:
    /// The start screen has closed; the program ends with exitCode().
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void endProgram(int code);
    // The steps of FormCreate.
    void loadPictures(const resources::ResourceModule *library);
    bool initSound(const resources::ResourceModule *library);
    void loadStartSamples();
    void showSwitches();
    void playSound(sound::HSAMPLE sample, bool switchOn);

    sound::SoundLibrary &m_sound;
    resources::ResourceLoader &m_resources;
    platform::Clock &m_clock;
    /// The raw data of resources 115, 116, 117, open while their samples exist.
    std::array<std::unique_ptr<resources::ResourceStream>, 3> m_soundStreams;
    bool m_startFailed = false;
    bool m_closed = false;
    int m_exitCode = kExitNormal;
};

} // namespace dorvel::app
