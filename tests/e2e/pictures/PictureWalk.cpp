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
#include "app/Startup.h"
#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "e2e/WalkSteps.h"
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
#include <QProcess>
#include <QStyleHints>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <optional>

using namespace dorvel;

namespace {

QString g_shoot;
QDir g_folder;

void shoot(test::Walker &walk, const QString &name)
{
    test::Walker::settle();
    const QString file = g_folder.filePath(name + QStringLiteral(".png"));
    if (QProcess::execute(g_shoot, { file }) != 0 || !QFileInfo::exists(file))
        walk.fail(QStringLiteral("no screenshot of the %1").arg(name));
    else
        test::Walker::note(QStringLiteral("shot %1").arg(name));
}

// Writes where a box lies in the program's 800×600 coordinates (on the stage,
// or on a screen of that size) to <folder>/<name>.box as "x y width height":
// without a window manager, a box on an 800×600 screen is put where Qt guesses
// room for a frame, not centred, so the boxes are compared by their own places.
void recordPlace(test::Walker &walk, QWidget *box, const QString &name)
{
    const QWidget *stage = stage::current();
    const QPoint origin = stage != nullptr ? stage->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    const QPoint at = box->mapToGlobal(QPoint(0, 0)) - origin;
    QFile file(g_folder.filePath(name + QStringLiteral(".box")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        walk.fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    file.write(QStringLiteral("%1 %2 %3 %4\n")
                   .arg(at.x())
                   .arg(at.y())
                   .arg(box->width())
                   .arg(box->height())
                   .toLatin1());
}

// The windows in the order a player meets them, each shot once it is shown,
// then moved on by the program's own handlers. A message box (no sound device)
// may come up at any point and is shot and confirmed first.
void addChecks(test::Walker &walk)
{
    walk.everyTick<QMessageBox>([&walk](QMessageBox &box) {
        const QString name = box.icon() == QMessageBox::Critical ? QStringLiteral("error")
                                                                 : QStringLiteral("information");
        shoot(walk, name);
        recordPlace(walk, &box, name);
        walk.post(box.button(QMessageBox::Ok),
            [](QWidget &ok) { QTest::mouseClick(&ok, Qt::LeftButton); });
        return true;
    });
    walk.check<app::TfrmDorvel20Main>(QStringLiteral("start screen"), [&walk](auto &start) {
        shoot(walk, QStringLiteral("start-screen"));
        e2e::openNames(walk, start);
        return true;
    });
    walk.check<dialogs::TfrmSpieler>(QStringLiteral("names dialog"), [&walk](auto &names) {
        QTest::keyClicks(names.efdSpieler[0], QStringLiteral("Ansgar"));
        shoot(walk, QStringLiteral("names"));
        walk.post(names.SpeedButton1, [](QWidget &ok) { QTest::mouseClick(&ok, Qt::LeftButton); });
        return true;
    });
    walk.check<game::TfrmDorvel20Game>(QStringLiteral("game table"), [&walk](auto &game) {
        if (!e2e::rolledAndSettled(game))
            return false;
        shoot(walk, QStringLiteral("game"));
        e2e::toLastTurn(walk, game);
        return true;
    });
    walk.check<dialogs::TfrmHighscore>(QStringLiteral("high-score window"), [&walk](auto &) {
        shoot(walk, QStringLiteral("highscore"));
        // Every loop ends, the high-score window's and the game's included.
        walk.post([] { QCoreApplication::exit(0); });
        return true;
    });
}

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
    if (!onStage || stage::planned() != *onStage) {
        std::fprintf(
            stderr, "FAIL: the windows are %s a stage\n", stage::planned() ? "on" : "not on");
        return 1;
    }
    // A text cursor that blinks would be caught in either of its phases.
    QGuiApplication::styleHints()->setCursorFlashTime(0);

    test::FixedClock clock(noon);
    resources::MissingResourceLoader missing;
    resources::ResourceLoader &resources
        = missingLibrary ? missing : resources::systemResourceLoader();
    test::Walker walk(50);
    addChecks(walk);
    walk.start();
    app::TfrmDorvel20Main start(startup.sound(), resources, clock, startup.displayModes());
    if (start.startFailed()) {
        // Without its library the program ends once the error box is confirmed.
        if (!missingLibrary)
            walk.fail(QStringLiteral("the start-up failed"));
        else if (!QFileInfo::exists(g_folder.filePath(QStringLiteral("error.png"))))
            walk.fail(QStringLiteral("no error box"));
        return walk.failed() ? 1 : 0;
    }
    if (missingLibrary)
        walk.fail(QStringLiteral("the program started without its library"));
    return e2e::play(walk, start);
}
