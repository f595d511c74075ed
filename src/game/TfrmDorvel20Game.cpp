#include "TfrmDorvel20Game.h"

#include "TagButton.h"
#include "TagLabel.h"
#include "dialogs/TfrmHighscore.h"
#include "dice3d/DiceView.h"
#include "dice3d/SceneObject.h"
#include "platform/Clock.h"
#include "platform/Fonts.h"
#include "platform/MessageTexts.h"
#include "resources/JpegDecoder.h"
#include "resources/ResourceLibrary.h"
#include "stage/MessageBox.h"
#include "stage/Stage.h"
#include "storage/ConfigRecord.h"
#include "storage/HighscoreMerge.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>

namespace dorvel::game {

namespace {

    const QString kRollCaption = QStringLiteral("Würfeln !!!");
    const QString kStopCaption = QStringLiteral("Stop !!!");
    const QString kDieMaterial = QStringLiteral("wuerfel");
    const QString kHeldDieMaterial = QStringLiteral("wuerfel2");

    constexpr int kDieModelResource = 105;
    constexpr int kBackgroundResource = 106;
    constexpr float kFreeDieZ = 0.5f;
    constexpr float kHeldDieZ = -4.0f;

    // Player columns: the name headers and the cell columns (rows 1..6 of the
    // second column sit two pixels left of the rest).
    constexpr std::array<int, 5> kHeaderLeft { 0, 156, 255, 355, 455 };
    constexpr std::array<int, 5> kUpperCellLeft { 0, 174, 272, 374, 474 };
    constexpr std::array<int, 5> kCellLeft { 0, 174, 274, 374, 474 };

    const QColor kWhite(255, 255, 255);
    const QColor kYellow(255, 255, 0);
    const QColor kLime(0, 255, 0);
    const QColor kWindowText(0, 0, 0);

    // The eight game sounds: resource, and whether the sample loops.
    struct GameSound
    {
        int resource;
        bool looping;
    };
    constexpr std::array<GameSound, 8> kGameSounds { {
        { 121, false }, { 122, false }, { 123, false }, { 124, false }, // players 1..4
        { 125, true }, // rolling
        { 126, false }, // stop
        { 127, false }, // row marker moved
        { 128, false }, // row chosen
    } };

    void setTextColor(QLabel *label, const QColor &color)
    {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
    }

    QLabel *makeLabel(QWidget *parent, const QString &name, const QRect &geometry,
        const QFont &font, const QColor &color, Qt::Alignment alignment)
    {
        auto *label = new QLabel(parent);
        label->setObjectName(name);
        label->setGeometry(geometry);
        label->setFont(font);
        label->setAlignment(alignment);
        setTextColor(label, color);
        return label;
    }

    void setAutoSizeText(QLabel *label, const QString &text)
    {
        label->setText(text);
        label->adjustSize();
    }

    // A label whose width follows its text, as the counters are.
    QLabel *makeAutoSizeLabel(
        QWidget *parent, const QString &name, QPoint topLeft, const QString &text)
    {
        auto *label = makeLabel(parent, name, QRect(topLeft, QSize(1, 1)), platform::tahoma(16),
            kWindowText, Qt::AlignLeft | Qt::AlignTop);
        setAutoSizeText(label, text);
        return label;
    }

} // namespace

TfrmDorvel20Game::TfrmDorvel20Game(sound::SoundLibrary &sound, resources::ResourceLoader &resources,
    platform::Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_sound(sound)
    , m_resources(resources)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("frmDorvel20Game"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(800, 600);
    setModal(true);

    AsyncTimer1.setObjectName(QStringLiteral("AsyncTimer1"));
    AsyncTimer1.setInterval(10);
    AsyncTimer1.setThreadPriority(dice3d::TAsyncTimer::TThreadPriority::tpTimeCritical);
    AsyncTimer1.OnTimer = [this](dice3d::TAsyncTimer *sender) { AsyncTimer1Timer(sender); };

    createControls();
    FormCreate();
    stage::adopt(this);
}

TfrmDorvel20Game::~TfrmDorvel20Game()
{
    AsyncTimer1.setEnabled(false);
    // The view draws the scene, which is a member and goes before the children do.
    delete GLSceneViewer1;
    GLSceneViewer1 = nullptr;
}

void TfrmDorvel20Game::createControls()
{
    imgBackground = new QLabel(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    imgBackground->setGeometry(0, 0, 800, 600);

    createScoreSheet();

    imgPfeil = new TagLabel(this);
    imgPfeil->setObjectName(QStringLiteral("imgPfeil"));
    imgPfeil->setGeometry(30, 120, 19, 19);
    imgPfeil->setMouseTracking(false);
    imgPfeil->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    {
        // The arrow is drawn transparent where its picture is white.
        QPixmap arrow = QPixmap::fromImage(QImage(QStringLiteral(":/game/pfeil.bmp")));
        if (!arrow.isNull())
            arrow.setMask(arrow.createMaskFromColor(kWhite));
        imgPfeil->setPixmap(arrow);
    }

    btnWuerfeln = new TagButton(this);
    btnWuerfeln->setObjectName(QStringLiteral("btnWuerfeln"));
    btnWuerfeln->setGeometry(608, 544, 153, 33);
    btnWuerfeln->setFont(platform::tahoma(16, true));
    btnWuerfeln->setText(kRollCaption);
    {
        QPalette palette = btnWuerfeln->palette();
        palette.setColor(QPalette::ButtonText, kWindowText);
        btnWuerfeln->setPalette(palette);
    }
    connect(btnWuerfeln, &QPushButton::clicked, this, [this] { btnWuerfelnClick(); });

    lblWurf = makeAutoSizeLabel(
        this, QStringLiteral("lblWurf"), QPoint(72, 548), QStringLiteral("Wurf Nummer:"));
    lblWurfNr = makeAutoSizeLabel(
        this, QStringLiteral("lblWurfNr"), QPoint(224, 548), QStringLiteral("0"));
    lblRunde = makeAutoSizeLabel(
        this, QStringLiteral("lblRunde"), QPoint(328, 548), QStringLiteral("Runde Nummer:"));
    lblRundeNr = makeAutoSizeLabel(
        this, QStringLiteral("lblRundeNr"), QPoint(496, 548), QStringLiteral("1"));

    GLSceneViewer1 = new dice3d::DiceView(GLScene1, this);
    GLSceneViewer1->setObjectName(QStringLiteral("GLSceneViewer1"));
    GLSceneViewer1->setGeometry(611, 88, 150, 425);
    connect(GLSceneViewer1, &dice3d::DiceView::mouseDown, this,
        [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y) {
            GLSceneViewer1MouseDown(button, modifiers, x, y);
        });
}

// The name headers, the score and sum cells of the four columns, and the
// thirteen row areas that take the mouse.
void TfrmDorvel20Game::createScoreSheet()
{
    const QFont headerFont = platform::tahoma(8, true);
    const QFont cellFont = platform::tahoma(9, true);
    const QFont totalFont = platform::tahoma(10, true, true);

    for (int p = 1; p <= 4; ++p) {
        const auto pi = static_cast<std::size_t>(p);
        makeLabel(this, QStringLiteral("lblSpieler%1").arg(p), QRect(kHeaderLeft[pi], 99, 89, 13),
            headerFont, kWhite, Qt::AlignCenter);
        for (int r = 1; r <= 13; ++r) {
            const QRect geometry = r <= 6 ? QRect(kUpperCellLeft[pi], 123 + 20 * (r - 1), 53, 14)
                                          : QRect(kCellLeft[pi], 323 + 20 * (r - 7), 53, 14);
            makeLabel(this, QStringLiteral("lblSpieler%1_%2").arg(p).arg(r), geometry, cellFont,
                kWindowText, Qt::AlignCenter);
        }
        struct SumCell
        {
            int top;
            int height;
            QFont font;
            QColor color;
        };
        const std::array<SumCell, 5> sumCells { {
            { 243, 14, cellFont, kWhite },
            { 263, 14, cellFont, kLime },
            { 282, 16, totalFont, kWhite },
            { 462, 14, cellFont, kWhite },
            { 481, 16, totalFont, kYellow },
        } };
        for (int k = 1; k <= 5; ++k) {
            const SumCell &sum = sumCells[static_cast<std::size_t>(k - 1)];
            makeLabel(this, QStringLiteral("lblSpielerErg%1_%2").arg(p).arg(k),
                QRect(kCellLeft[pi], sum.top, 53, sum.height), sum.font, sum.color,
                Qt::AlignCenter);
        }
    }

    for (int r = 1; r <= kRowCount; ++r) {
        auto *hotArea = new TagLabel(this);
        hotArea->setObjectName(QStringLiteral("Label%1").arg(r));
        hotArea->Tag = r;
        hotArea->setGeometry(51, r <= 6 ? 120 + 20 * (r - 1) : 320 + 20 * (r - 7), 99, 19);
        connect(hotArea, &TagLabel::mouseDown, this,
            [this](TagLabel *sender, Qt::MouseButton button) { DorvlKategoDown(sender, button); });
        connect(hotArea, &TagLabel::mouseMove, this,
            [this](TagLabel *sender) { DorvlKategoMove(sender); });
    }
}

void TfrmDorvel20Game::FormCreate()
{
    const resources::ResourceModule *module
        = m_resources.loadLibrary(resources::kResourceLibraryName);
    if (module == nullptr) {
        stage::showMessage(this, stage::MessageKind::Error, platform::kLibraryMissing);
    } else {
        // One stream serves all five dice: the model reader starts at the
        // beginning of the data each time.
        if (std::unique_ptr<resources::ResourceStream> model
            = resources::openResource(module, kDieModelResource)) {
            for (int n = 1; n <= 5; ++n)
                GLScene1.die(n).LoadFromStream(QStringLiteral("3ddice.3ds"), *model);
        }
        if (std::unique_ptr<resources::ResourceStream> background
            = resources::openResource(module, kBackgroundResource)) {
            const QImage picture = resources::decodeJpeg(background->memory(), background->size());
            if (!picture.isNull())
                imgBackground->setPixmap(QPixmap::fromImage(picture));
        }
    }
    animation.fillFaceTable();
    move(0, 0);
    currentPlayer = 0;
}

void TfrmDorvel20Game::startGame(const GameSetup &setup)
{
    soundAvailable = setup.soundAvailable;
    soundOn = setup.soundOn;
    musicOn = setup.musicOn;
    musicSample = setup.musicSample;
    clickSample = setup.clickSample;
    for (int p = 1; p <= 4; ++p)
        cell(QStringLiteral("lblSpieler%1").arg(p))
            ->setText(setup.names[static_cast<std::size_t>(p - 1)]);
    playerCount = setup.playerCount;
    loadGameSounds();
    clearScoreSheet();
    nextTurn();
}

void TfrmDorvel20Game::loadGameSounds()
{
    if (!(soundAvailable && soundOn))
        return;
    const resources::ResourceModule *module
        = m_resources.loadLibrary(resources::kResourceLibraryName);
    if (module == nullptr) {
        stage::showMessage(this, stage::MessageKind::Error, platform::kLibraryMissing);
        return;
    }
    const auto owned = ownedSamples();
    for (std::size_t i = 0; i < kGameSounds.size(); ++i) {
        m_soundStreams[i] = resources::openResource(module, kGameSounds[i].resource);
        *owned[i] = 0;
        if (!m_soundStreams[i])
            continue;
        const std::uint32_t flags
            = kGameSounds[i].looping ? sound::BASS_SAMPLE_LOOP : sound::BASS_SAMPLE_OVER_POS;
        *owned[i] = m_sound.BASS_SampleLoad(-1, m_soundStreams[i]->memory(), 0,
            static_cast<std::uint32_t>(m_soundStreams[i]->size()), 3, flags);
    }
}

std::array<sound::HSAMPLE *, 8> TfrmDorvel20Game::ownedSamples()
{
    return { &playerSample[1], &playerSample[2], &playerSample[3], &playerSample[4], &rollSample,
        &stopSample, &hoverSample, &chosenSample };
}

void TfrmDorvel20Game::FormClose()
{
    // A tick must not reach a window that is going away.
    AsyncTimer1.setEnabled(false);
    if (soundAvailable) {
        for (sound::HSAMPLE *sample : ownedSamples()) {
            if (*sample != 0)
                m_sound.BASS_SampleFree(*sample);
            *sample = 0;
        }
    }
    for (auto &stream : m_soundStreams)
        stream.reset();
}

bool TfrmDorvel20Game::FormKeyDown(int key)
{
    if (key != Qt::Key_Escape)
        return false;
    close();
    return true;
}

void TfrmDorvel20Game::closeEvent(QCloseEvent *event)
{
    FormClose();
    QDialog::closeEvent(event);
}

void TfrmDorvel20Game::keyPressEvent(QKeyEvent *event)
{
    // Only Escape means something here; every other key, Enter included, is
    // left alone rather than handed to the dialog's default handling.
    if (FormKeyDown(event->key()))
        event->accept();
    else
        event->ignore();
}

void TfrmDorvel20Game::clearScoreSheet()
{
    for (int p = 1; p <= 4; ++p) {
        const auto pi = static_cast<std::size_t>(p);
        for (int r = 1; r <= kRowCount; ++r) {
            scores[pi][static_cast<std::size_t>(r)] = 0;
            scoreCell(p, r)->clear();
        }
        for (int k = 1; k <= 5; ++k) {
            sums[pi][static_cast<std::size_t>(k)] = 0;
            sumCell(p, k)->clear();
        }
    }
    roundNo = 1;
    currentPlayer = 0;
}

void TfrmDorvel20Game::nextTurn()
{
    random.seed = m_clock.millisecondsSinceMidnightUtc();
    ++currentPlayer;
    throwNo = 0;
    if (currentPlayer > playerCount) {
        currentPlayer = 1;
        ++roundNo;
    }
    if (roundNo >= 14) {
        endOfGame();
        return;
    }

    setAutoSizeText(lblRundeNr, QString::number(roundNo));
    btnWuerfeln->setText(kRollCaption);
    btnWuerfeln->show();

    held.fill(false);
    animation.resetAngles();

    for (int p = 1; p <= 4; ++p)
        setTextColor(
            cell(QStringLiteral("lblSpieler%1").arg(p)), p == currentPlayer ? kYellow : kWhite);

    for (int n = 1; n <= 5; ++n) {
        dice3d::DieActor &die = GLScene1.die(n);
        die.setPositionZ(kFreeDieZ);
        die.setLibMaterialName(kDieMaterial);
    }

    if (currentPlayer >= 1 && currentPlayer <= 4)
        playSound(playerSample[static_cast<std::size_t>(currentPlayer)]);

    GameState = kTurnStarting;
    imgPfeil->hide();
    imgPfeil->Tag = 0;

    btnWuerfelnClick();
}

void TfrmDorvel20Game::endOfGame()
{
    btnWuerfeln->hide();
    enterHighscores();
    bool again = false;
    {
        dialogs::TfrmHighscore highscore(this);
        const bool withMusic = soundAvailable && musicOn;
        if (withMusic)
            m_sound.BASS_SamplePlay(musicSample);
        highscore.exec();
        if (withMusic)
            m_sound.BASS_SampleStop(musicSample);
        again = highscore.playAgain;
    }
    if (again) {
        clearScoreSheet();
        nextTurn();
    } else {
        close();
    }
}

void TfrmDorvel20Game::enterHighscores()
{
    storage::updateConfig(storage::kConfigFileName, [this](storage::ConfigRecord &record) {
        for (int p = 1; p <= playerCount; ++p) {
            storage::enterHighscore(record, sums[static_cast<std::size_t>(p)][5],
                cell(QStringLiteral("lblSpieler%1").arg(p))->text());
        }
    });
}

void TfrmDorvel20Game::btnWuerfelnClick()
{
    if (btnWuerfeln->Tag == 0) {
        ++throwNo;
        setAutoSizeText(lblWurfNr, QString::number(throwNo));
        animation.startRoll(held);
        for (int n = 1; n <= 5; ++n) {
            if (held[static_cast<std::size_t>(n)])
                continue;
            dice3d::DieActor &die = GLScene1.die(n);
            // Undo the turn before the pitch: this restores the rest frame exactly.
            die.setTurnAngle(0.0f);
            die.setPitchAngle(0.0f);
            die.setRollAngle(0.0f);
        }
        playSound(rollSample);
        btnWuerfeln->Tag = 1;
        btnWuerfeln->setText(kStopCaption);
        AsyncTimer1.setEnabled(true);
        GameState = kRolling;
    } else if (btnWuerfeln->Tag == 1) {
        animation.stopRoll(held);
        for (int n = 1; n <= 5; ++n) {
            const auto ni = static_cast<std::size_t>(n);
            if (!held[ni])
                dieValue[ni] = random.nextDie();
        }
        if (soundAvailable && soundOn && rollSample != 0)
            m_sound.BASS_SampleStop(rollSample);
        playSound(stopSample);
        btnWuerfeln->Tag = 0;
        btnWuerfeln->hide();
        btnWuerfeln->setText(kRollCaption);
        GameState = kSettling;
    }
}

void TfrmDorvel20Game::AsyncTimer1Timer(dice3d::TAsyncTimer *Sender)
{
    animation.step(GameState, held, dieValue);
    showAnimationAngles();
    if (animation.allTurnDone()) {
        GameState = kSettled;
        Sender->setEnabled(false);
        if (throwNo < 3)
            btnWuerfeln->show();
    }
}

void TfrmDorvel20Game::showAnimationAngles()
{
    for (int i = 1; i <= 5; ++i) {
        dice3d::DieActor &die = GLScene1.die(i);
        die.setPitchAngle(static_cast<float>(animation.diePitch[static_cast<std::size_t>(i)]));
        die.setTurnAngle(static_cast<float>(animation.dieTurn[static_cast<std::size_t>(i)]));
    }
}

void TfrmDorvel20Game::GLSceneViewer1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y)
{
    if (GameState != kSettled)
        return;
    holdOrRelease(GLSceneViewer1->pick(X, Y));
}

void TfrmDorvel20Game::holdOrRelease(dice3d::SceneObject *hit)
{
    const int n = GLScene1.dieNumber(hit);
    if (GameState != kSettled || n == 0)
        return;
    const bool hold = hit->Position().z != kHeldDieZ;
    hit->setPositionZ(hold ? kHeldDieZ : kFreeDieZ);
    held[static_cast<std::size_t>(n)] = hold;
    hit->setLibMaterialName(hold ? kHeldDieMaterial : kDieMaterial);
    playSound(clickSample);
}

void TfrmDorvel20Game::DorvlKategoMove(TagLabel *Sender)
{
    if (GameState != kSettled)
        return;
    const int r = Sender->Tag;
    const QString text = scoreCell(currentPlayer, r)->text();
    const bool fiveOfAKindRow = isFiveOfAKind(dice()) && r == kFiveOfAKindRow;
    if (!text.isEmpty() && !(fiveOfAKindRow && text != QLatin1String("0")))
        return;
    if (imgPfeil->isHidden())
        imgPfeil->show();
    imgPfeil->Tag = r;
    if (imgPfeil->y() != Sender->y()) {
        imgPfeil->move(imgPfeil->x(), Sender->y());
        playSound(hoverSample);
    }
}

void TfrmDorvel20Game::DorvlKategoDown(TagLabel *Sender, Qt::MouseButton)
{
    const int r = Sender->Tag;
    if (GameState != kSettled || r != imgPfeil->Tag || r < 1 || r > kRowCount)
        return;
    const bool fiveOfAKindRow = isFiveOfAKind(dice()) && r == kFiveOfAKindRow;
    QLabel *target = scoreCell(currentPlayer, r);
    if (!fiveOfAKindRow && !target->text().isEmpty())
        return;

    std::int32_t &score
        = scores[static_cast<std::size_t>(currentPlayer)][static_cast<std::size_t>(r)];
    const RowEntry entry = enterRow(dice(), r, score);
    score = entry.score;
    playSound(chosenSample);
    target->setText(QString::number(score));
    updateSums();
    if (entry.extraTurn)
        --currentPlayer;
    nextTurn();
}

void TfrmDorvel20Game::updateSums()
{
    for (int p = 1; p <= playerCount; ++p) {
        const auto pi = static_cast<std::size_t>(p);
        ColumnScores rows {};
        for (int r = 1; r <= kRowCount; ++r)
            rows[static_cast<std::size_t>(r - 1)] = scores[pi][static_cast<std::size_t>(r)];
        const ColumnSums columnSum = columnSums(rows);
        for (int k = 1; k <= 5; ++k) {
            sums[pi][static_cast<std::size_t>(k)] = columnSum[static_cast<std::size_t>(k - 1)];
            sumCell(p, k)->setText(QString::number(sums[pi][static_cast<std::size_t>(k)]));
        }
    }
}

Dice TfrmDorvel20Game::dice() const
{
    return { dieValue[1], dieValue[2], dieValue[3], dieValue[4], dieValue[5] };
}

QLabel *TfrmDorvel20Game::cell(const QString &name) const
{
    return findChild<QLabel *>(name, Qt::FindDirectChildrenOnly);
}

QLabel *TfrmDorvel20Game::scoreCell(int player, int row) const
{
    return cell(QStringLiteral("lblSpieler%1_%2").arg(player).arg(row));
}

QLabel *TfrmDorvel20Game::sumCell(int player, int sum) const
{
    return cell(QStringLiteral("lblSpielerErg%1_%2").arg(player).arg(sum));
}

void TfrmDorvel20Game::playSound(sound::HSAMPLE sample)
{
    if (soundAvailable && soundOn && sample != 0)
        m_sound.BASS_SamplePlay(sample);
}

} // namespace dorvel::game
