#include "TfrmDorvel20Main.h"

#include "ClickableImage.h"
#include "DorvelApplication.h"
#include "VolumeBar.h"
#include "dialogs/TfrmSpieler.h"
#include "dice3d/DiceGLWindow.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Fonts.h"
#include "platform/MessageTexts.h"
#include "resources/JpegDecoder.h"
#include "resources/ResourceLibrary.h"
#include "stage/MessageBox.h"
#include "stage/Stage.h"
#include "storage/ConfigRecord.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

#include <algorithm>
#include <string>

namespace dorvel::app {

namespace {

    // Resource IDs of the resource library.
    constexpr int kBackgroundResource = 107;
    constexpr int kConfirmResource = 115;
    constexpr int kClickResource = 116;
    constexpr int kMusicResource = 117;

    // At most this many playbacks of one sample at a time.
    constexpr std::uint32_t kMaxPlaybacks = 3;

    QPixmap programPicture(int id)
    {
        return QPixmap(QStringLiteral(":/pictures/%1.bmp").arg(id));
    }

} // namespace

TfrmDorvel20Main::TfrmDorvel20Main(sound::SoundLibrary &sound, resources::ResourceLoader &resources,
    platform::Clock &clock, display::DisplayModes &displayModes, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , GLFullScreenViewer1(displayModes)
    , m_sound(sound)
    , m_resources(resources)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("frmDorvel20Main"));
    setWindowTitle(kApplicationTitle);
    setFixedSize(800, 600);
    move(kDesignedPosition);
    setFont(platform::tahoma(8));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    createControls();
    FormCreate();
}

TfrmDorvel20Main::~TfrmDorvel20Main()
{
    // Off the stage before the viewer removes its host, which would otherwise
    // delete this window as its child.
    GLFullScreenViewer1.deactivate();
}

void TfrmDorvel20Main::createControls()
{
    imgHintergrund = new QLabel(this);
    imgHintergrund->setObjectName(QStringLiteral("imgHintergrund"));
    imgHintergrund->setGeometry(0, 0, 800, 600);
    imgHintergrund->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto picture = [this](const char *name, int left, int top, int width, int height) {
        auto *image = new ClickableImage(this);
        image->setObjectName(QString::fromLatin1(name));
        image->setGeometry(left, top, width, height);
        return image;
    };
    imgSpieler = picture("imgSpieler", 464, 304, 80, 80);
    imgOK = picture("imgOK", 576, 309, 70, 70);
    imgOK->setTransparentPicture(QPixmap(QStringLiteral(":/pictures/ok.bmp")));
    imgMusic = picture("imgMusic", 193, 405, 156, 46);
    imgSound = picture("imgSound", 451, 405, 156, 46);

    Label1 = new QLabel(QStringLiteral("V." DORVEL_VERSION), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(756, 4, 36, 13);
    QPalette text = Label1->palette();
    text.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    Label1->setPalette(text);

    pgbLaut = new VolumeBar(this);
    pgbLaut->setObjectName(QStringLiteral("pgbLaut"));
    pgbLaut->setGeometry(317, 482, 300, 16);

    connect(imgSpieler, &ClickableImage::clicked, this, [this] { imgSpielerClick(); });
    connect(imgOK, &ClickableImage::clicked, this, [this] { imgOKClick(); });
    connect(imgMusic, &ClickableImage::clicked, this, [this] { imgMusicClick(); });
    connect(imgSound, &ClickableImage::clicked, this, [this] { imgSoundClick(); });
    connect(pgbLaut, &VolumeBar::mouseMoved, this,
        [this](Qt::MouseButtons buttons, int x, int y) { pgbLautMouseMove(buttons, x, y); });
}

void TfrmDorvel20Main::endProgram(int code)
{
    m_startFailed = true;
    m_exitCode = code;
}

// The start-up, in the order the program has always followed: library,
// pictures, sound, switches and samples, display mode, then the music.
void TfrmDorvel20Main::FormCreate()
{
    playerCount = 1;

    const resources::ResourceModule *library
        = m_resources.loadLibrary(resources::kResourceLibraryName);
    if (library == nullptr) {
        stage::showMessage(
            nullptr, stage::MessageKind::Error, platform::libraryMissingEndingText());
        endProgram(kExitFatal);
        return;
    }
    loadPictures(library);
    if (!initSound(library))
        return;
    loadStartSamples();

    // A display without 800×600 ends the start-up here: the start screen opens
    // where it was designed, silent, with both switch pictures empty.
    if (!runHandler(nullptr, [this] { GLFullScreenViewer1.activate(); }))
        return;

    move(0, 0);
    stage::adopt(this);
    showSwitches();
}

void TfrmDorvel20Main::loadPictures(const resources::ResourceModule *library)
{
    if (auto stream = resources::openResource(library, kBackgroundResource)) {
        const QImage background = resources::decodeJpeg(stream->memory(), stream->size());
        imgHintergrund->setPixmap(QPixmap::fromImage(background));
    }
    for (int n = 1; n <= 4; ++n)
        playerCountPictures[n] = programPicture(108 + n);
    offPicture = programPicture(114);
    imgSpieler->setTransparentPicture(playerCountPictures[1]);
}

// The version check and the device. Without a device both switches are stored
// as off; with one they come from the settings file. Answers false when the
// program has to end.
bool TfrmDorvel20Main::initSound(const resources::ResourceModule *library)
{
    if (m_sound.BASS_GetVersion() != sound::kBassVersion17) {
        stage::showMessage(nullptr, stage::MessageKind::Error, platform::kWrongSoundVersion);
        endProgram(kExitFatal);
        return false;
    }

    soundAvailable = m_sound.BASS_Init(-1, kSoundFrequency, 0, this) != 0;
    if (!soundAvailable) {
        soundOn = false;
        musicOn = false;
        stage::showMessage(nullptr, stage::MessageKind::Information, platform::noSoundCardText());
        setConfig();
        return true;
    }
    storage::ConfigRecord record {};
    storage::readConfig(storage::kConfigFileName, record);
    soundOn = record.soundOn != 0;
    musicOn = record.musicOn != 0;
    m_soundStreams[0] = resources::openResource(library, kConfirmResource);
    m_soundStreams[1] = resources::openResource(library, kClickResource);
    m_soundStreams[2] = resources::openResource(library, kMusicResource);
    return true;
}

void TfrmDorvel20Main::loadStartSamples()
{
    if (!soundAvailable)
        return;
    m_sound.BASS_Start();
    auto load = [this](const std::unique_ptr<resources::ResourceStream> &stream,
                    std::uint32_t flags) -> sound::HSAMPLE {
        if (!stream)
            return 0;
        return m_sound.BASS_SampleLoad(-1, stream->memory(), 0,
            static_cast<std::uint32_t>(stream->size()), kMaxPlaybacks, flags);
    };
    musicSample = load(m_soundStreams[2], sound::BASS_SAMPLE_LOOP);
    clickSample = load(m_soundStreams[1], sound::BASS_SAMPLE_OVER_POS);
    confirmSample = load(m_soundStreams[0], sound::BASS_SAMPLE_OVER_POS);
    pgbLaut->setValue(m_sound.BASS_GetVolume());
}

// Starts the music if it is on, and shows the red cross on each switch that is off.
void TfrmDorvel20Main::showSwitches()
{
    if (soundAvailable && musicOn) {
        m_sound.BASS_SamplePlay(musicSample);
        imgMusic->setTransparentPicture({});
    } else {
        imgMusic->setTransparentPicture(offPicture);
    }
    if (soundAvailable && soundOn)
        imgSound->setTransparentPicture({});
    else
        imgSound->setTransparentPicture(offPicture);
}

void TfrmDorvel20Main::playSound(sound::HSAMPLE sample, bool switchOn)
{
    if (soundAvailable && switchOn)
        m_sound.BASS_SamplePlay(sample);
}

void TfrmDorvel20Main::imgSpielerClick()
{
    playerCount = playerCount + 1;
    if (playerCount == 5)
        playerCount = 1;
    imgSpieler->setTransparentPicture(playerCountPictures[playerCount]);
    playSound(clickSample, soundOn);
}

void TfrmDorvel20Main::imgSoundClick()
{
    if (!soundAvailable)
        return;
    if (soundOn) {
        imgSound->setTransparentPicture(offPicture);
    } else {
        imgSound->setTransparentPicture({});
        m_sound.BASS_SamplePlay(confirmSample);
    }
    soundOn = !soundOn;
}

void TfrmDorvel20Main::imgMusicClick()
{
    if (!soundAvailable)
        return;
    if (musicOn) {
        imgMusic->setTransparentPicture(offPicture);
        m_sound.BASS_SampleStop(musicSample);
    } else {
        imgMusic->setTransparentPicture({});
        m_sound.BASS_SamplePlay(musicSample);
    }
    musicOn = !musicOn;
}

void TfrmDorvel20Main::pgbLautMouseMove(Qt::MouseButtons buttons, int x, int)
{
    if (!(buttons & Qt::LeftButton))
        return;
    // C++ division truncates towards zero, as the volume has always been taken:
    // -1 and -2 give 0, -3 gives -1. The sound library gets the value as it is;
    // the bar, like any progress bar, shows it within its range.
    const int volume = x / 3;
    m_sound.BASS_SetVolume(volume);
    pgbLaut->setValue(std::clamp(volume, pgbLaut->minimum(), pgbLaut->maximum()));
}

void TfrmDorvel20Main::FormKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
        return;
    }
    event->ignore();
}

void TfrmDorvel20Main::keyPressEvent(QKeyEvent *event)
{
    FormKeyDown(event);
}

void TfrmDorvel20Main::imgOKClick()
{
    if (soundAvailable && musicOn)
        m_sound.BASS_SampleStop(musicSample);
    playSound(confirmSample, soundOn);
    // While the player types the names, a worker makes the dice view's GL
    // context and draws its first frame, so the game table shows with its dice
    // at once instead of after a few hundred milliseconds of shader compiling.
    dice3d::DiceGLWindow::prepareAhead();

    {
        auto names = std::make_unique<dialogs::TfrmSpieler>(m_resources);
        if (names->libraryMissing()) {
            // The dialog has said so; the program ends as at start-up.
            names.reset();
            m_exitCode = kExitFatal;
            close();
            return;
        }
        names->playerCount = playerCount;
        if (names->exec() == dialogs::TfrmSpieler::kResultOk) {
            auto table = std::make_unique<game::TfrmDorvel20Game>(m_sound, m_resources, m_clock);
            table->startGame({ .soundAvailable = soundAvailable,
                .soundOn = soundOn,
                .musicOn = musicOn,
                .musicSample = musicSample,
                .clickSample = clickSample,
                .playerCount = playerCount,
                .names = names->playerNames() });
            names.reset();
            table->exec();
        }
    }

    if (soundAvailable && musicOn)
        m_sound.BASS_SamplePlay(musicSample);
}

void TfrmDorvel20Main::setConfig()
{
    storage::updateConfig(storage::kConfigFileName, [this](storage::ConfigRecord &record) {
        record.soundOn = soundOn ? 1 : 0;
        record.musicOn = musicOn ? 1 : 0;
    });
}

void TfrmDorvel20Main::FormClose()
{
    // A fatal ending (the names dialog found no library) stores nothing, as at
    // start-up.
    if (m_exitCode != kExitFatal)
        setConfig();

    for (QPixmap &picture : playerCountPictures)
        picture = QPixmap();
    offPicture = QPixmap();

    if (soundAvailable) {
        m_sound.BASS_Stop();
        m_sound.BASS_SampleFree(musicSample);
        m_sound.BASS_SampleFree(clickSample);
        m_sound.BASS_SampleFree(confirmSample);
        musicSample = clickSample = confirmSample = 0;
        m_sound.BASS_Free();
        m_soundStreams[2].reset();
        m_soundStreams[1].reset();
        m_soundStreams[0].reset();
    }
}

void TfrmDorvel20Main::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    FormClose();
    Q_EMIT closed();
}

} // namespace dorvel::app
