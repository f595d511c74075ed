// Pictures of every window on whatever display the program finds, for comparing
// one display path with another: the program's own start-up (display adapter,
// scale factor, stage) with the clock fixed, so that every path rolls the same
// dice, then each window in turn, shot whole by an outside tool once it has
// drawn. Only the program's own handlers move it on (clicks and keys sent to
// its widgets), so the walk runs alike where no input can be injected.
//
// usage: picture_walk <screenshot command> <folder> --stage yes|no [--missing-library]
//                     [--clock MS]
// The screenshot command gets the PNG file to write as its one argument. The
// walk writes into <folder>: information.png (when there is no sound device),
// start-screen.png, names.png, game.png and highscore.png; with
// --missing-library the program finds no resource library and error.png is
// all. --stage says whether the display needs the stage, so that a reference
// is never made on one by mistake. --clock sets the time of day the dice are
// seeded from (default noon). Exit code 0 when every window came up on the
// display expected and was shot.
#include "app/ClickableImage.h"
#include "app/Startup.h"
#include "app/TfrmDorvel20Main.h"
#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "game/TagButton.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "resources/ResourceLibrary.h"
#include "resources/ResourceLoaders.h"
#include "stage/Stage.h"
#include "support/FixedClock.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

using namespace dorvel;

namespace {

QString g_shoot;
QDir g_folder;
bool g_failed = false;

void fail(const QString &what)
{
    g_failed = true;
    std::fprintf(stderr, "FAIL: %s\n", qPrintable(what));
}

// Lets the screen catch up with what the program has drawn: a compositor or an
// X server shows a frame some time after the program has handed it over, and
// there is no event that says when.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(25);
    }
}

void shoot(const QString &name)
{
    settle();
    const QString file = g_folder.filePath(name + QStringLiteral(".png"));
    if (QProcess::execute(g_shoot, { file }) != 0 || !QFileInfo::exists(file))
        fail(QStringLiteral("no screenshot of the %1").arg(name));
    else
        std::printf("shot %s\n", qPrintable(name));
    std::fflush(stdout);
}

// Writes where a box lies in the program's 800×600 coordinates (on the stage,
// or on a screen of that size) to <folder>/<name>.box as "x y width height":
// without a window manager, a box on an 800×600 screen is put where Qt guesses
// room for a frame, not centred, so the boxes are compared by their own places.
void recordPlace(QWidget *box, const QString &name)
{
    const QWidget *stage = stage::current();
    const QPoint origin = stage != nullptr ? stage->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    const QPoint at = box->mapToGlobal(QPoint(0, 0)) - origin;
    QFile file(g_folder.filePath(name + QStringLiteral(".box")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    file.write(QStringLiteral("%1 %2 %3 %4\n")
                   .arg(at.x())
                   .arg(at.y())
                   .arg(box->width())
                   .arg(box->height())
                   .toLatin1());
}

// Runs an action from the event loop, so that a modal window it opens runs its
// loop outside the walk's step.
void later(std::function<void()> action)
{
    QTimer::singleShot(0, qApp, std::move(action));
}

template <typename T> T *shown()
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (auto *found = qobject_cast<T *>(widget); found != nullptr && widget->isVisible())
            return found;
    }
    return nullptr;
}

class Walk : public QObject
{
public:
    Walk()
    {
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
        m_timer.start();
    }

    bool done() const { return m_step == Step::Done; }

private:
    enum class Step { StartScreen, Names, Game, Highscore, Done };

    void step()
    {
        if (m_busy)
            return;
        m_busy = true;
        run();
        m_busy = false;
    }

    void run()
    {
        if (auto *box = shown<QMessageBox>()) {
            const QString name = box->icon() == QMessageBox::Critical
                ? QStringLiteral("error")
                : QStringLiteral("information");
            shoot(name);
            recordPlace(box, name);
            QPointer<QAbstractButton> ok = box->button(QMessageBox::Ok);
            later([ok] {
                if (ok)
                    QTest::mouseClick(ok, Qt::LeftButton);
            });
            return;
        }
        switch (m_step) {
        case Step::StartScreen:
            if (auto *start = shown<app::TfrmDorvel20Main>()) {
                shoot(QStringLiteral("start-screen"));
                m_step = Step::Names;
                later([start] {
                    QTest::mouseClick(start->imgOK, Qt::LeftButton, {}, QPoint(35, 35));
                });
            }
            break;
        case Step::Names:
            if (auto *names = shown<dialogs::TfrmSpieler>()) {
                QTest::keyClicks(names->efdSpieler[0], QStringLiteral("Ansgar"));
                shoot(QStringLiteral("names"));
                m_step = Step::Game;
                later([names] { QTest::mouseClick(names->SpeedButton1, Qt::LeftButton); });
            }
            break;
        case Step::Game:
            if (auto *game = shown<game::TfrmDorvel20Game>()) {
                if (game->GameState == game::TfrmDorvel20Game::kRolling) {
                    QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
                    return;
                }
                if (game->GameState != game::TfrmDorvel20Game::kSettled)
                    return;
                shoot(QStringLiteral("game"));
                // Straight to the last turn: one free row left, round 13.
                game->roundNo = 13;
                auto *row = game->findChild<game::TagLabel *>(QStringLiteral("Label13"));
                m_step = Step::Highscore;
                later([row] {
                    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10),
                        QPointF(row->mapToGlobal(QPoint(10, 10))), Qt::NoButton, Qt::NoButton,
                        Qt::NoModifier);
                    QApplication::sendEvent(row, &move);
                    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(10, 10));
                });
            }
            break;
        case Step::Highscore:
            if (shown<dialogs::TfrmHighscore>() != nullptr) {
                shoot(QStringLiteral("highscore"));
                m_step = Step::Done;
                // Every loop ends, the high-score window's and the game's included.
                later([] { QCoreApplication::exit(0); });
            }
            break;
        case Step::Done:
            break;
        }
    }

    QTimer m_timer;
    Step m_step = Step::StartScreen;
    bool m_busy = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr,
            "usage: picture_walk <screenshot command> <folder> --stage yes|no "
            "[--missing-library] [--clock MS]\n");
        return 2;
    }
    g_shoot = QString::fromLocal8Bit(argv[1]);
    g_folder = QDir(QString::fromLocal8Bit(argv[2]));
    bool missingLibrary = false;
    std::optional<bool> onStage;
    std::uint32_t noon = 12u * 3600u * 1000u;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--missing-library") == 0)
            missingLibrary = true;
        else if (std::strcmp(argv[i], "--stage") == 0 && i + 1 < argc)
            onStage = std::strcmp(argv[++i], "yes") == 0;
        else if (std::strcmp(argv[i], "--clock") == 0 && i + 1 < argc)
            noon = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    }
    // The walk's own arguments are not the toolkit's.
    int qtArgc = 1;

    const app::Startup startup(qtArgc, argv);
    app::DorvelApplication &application = startup.application();
    if (!onStage || stage::planned() != *onStage) {
        fail(QStringLiteral("the windows are %1 a stage")
                 .arg(stage::planned() ? QStringLiteral("on") : QStringLiteral("not on")));
        return 1;
    }
    // A text cursor that blinks would be caught in either of its phases.
    QGuiApplication::styleHints()->setCursorFlashTime(0);

    test::FixedClock clock(noon);
    resources::MissingResourceLoader missing;
    resources::ResourceLoader &resources
        = missingLibrary ? missing : resources::systemResourceLoader();
    Walk walk;
    int code = 0;
    {
        app::TfrmDorvel20Main start(startup.sound(), resources, clock, startup.displayModes());
        if (start.startFailed()) {
            // Without its library the program ends once the error box is confirmed.
            if (!missingLibrary)
                fail(QStringLiteral("the start-up failed"));
            else if (!QFileInfo::exists(g_folder.filePath(QStringLiteral("error.png"))))
                fail(QStringLiteral("no error box"));
            return g_failed ? 1 : 0;
        }
        if (missingLibrary)
            fail(QStringLiteral("the program started without its library"));
        QObject::connect(&start, &app::TfrmDorvel20Main::closed, &application,
            [&] { application.exit(start.exitCode()); });
        start.show();
        start.activateWindow();
        code = application.exec();
    }
    if (!walk.done())
        fail(QStringLiteral("the walk ended early"));
    return !g_failed && code == 0 ? 0 : 1;
}
