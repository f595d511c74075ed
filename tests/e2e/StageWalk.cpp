// The program on a display it cannot switch to 800×600, walked through from
// the inside: the same start-up as the program's own entry (display adapter,
// scale factor, stage), then every window in turn, each checked against a
// screenshot of the whole output taken by an outside tool. Used where no input
// can be injected from outside (a headless Wayland compositor) and on large X
// screens, where the die clicks are real X events (xdotool) instead.
//
// usage: stage_walk <screenshot command> [folder to keep the screenshots in]
// The screenshot command gets the PNG file to write as its one argument.
// Exit code 0 when every check held; the failures are listed on stderr.
#include "app/ClickableImage.h"
#include "app/Startup.h"
#include "app/TfrmDorvel20Main.h"
#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceRenderer.h"
#include "dice3d/DiceView.h"
#include "game/TagButton.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "platform/DisplayMode.h"
#include "platform/ResourceLibrary.h"
#include "platform/Stage.h"

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>

using namespace dorvel;

namespace {

QStringList g_failures;
QString g_shoot;
QString g_keep;
int g_shots = 0;

void fail(const QString &what)
{
    g_failures << what;
    std::fprintf(stderr, "FAIL: %s\n", qPrintable(what));
}

void note(const QString &what)
{
    std::printf("%s\n", qPrintable(what));
    std::fflush(stdout);
}

QImage screenshot(const QString &name)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(name + QStringLiteral(".png"));
    QProcess::execute(g_shoot, { file });
    QImage image(file);
    if (!g_keep.isEmpty() && !image.isNull())
        image.save(QDir(g_keep).filePath(QStringLiteral("%1-%2.png").arg(++g_shots).arg(name)));
    return image.convertToFormat(QImage::Format_RGB32);
}

// Where stage point p lies on the output, in device pixels.
double scale()
{
    return QGuiApplication::primaryScreen()->devicePixelRatio();
}

QPointF stageOrigin()
{
    const QWidget *stage = platform::stage::current();
    return stage != nullptr ? QPointF(stage->mapToGlobal(QPoint(0, 0))) * scale() : QPointF();
}

QRect onOutput(const QRect &design)
{
    const double s = scale();
    const QPointF o = stageOrigin();
    return QRect(qRound(o.x() + design.x() * s), qRound(o.y() + design.y() * s),
        qRound(design.width() * s), qRound(design.height() * s));
}

bool dark(QRgb pixel)
{
    return qRed(pixel) < 24 && qGreen(pixel) < 24 && qBlue(pixel) < 24;
}

bool close(QRgb p, QRgb q)
{
    return std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
        + std::abs(qBlue(p) - qBlue(q))
        <= 60;
}

// Share of pixels of `a` that differ by more than a little from every pixel
// next to the same place in `b` (same size): fractional scales put an edge
// half a pixel either way.
double differing(const QImage &a, const QImage &b, const QRect &ignore = {})
{
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    qint64 off = 0;
    qint64 counted = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (ignore.contains(x, y))
                continue;
            ++counted;
            const QRgb p = a.pixel(x, y);
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    if (b.valid(x + dx, y + dy))
                        near = close(p, b.pixel(x + dx, y + dy));
                }
            }
            if (!near)
                ++off;
        }
    }
    return counted == 0 ? 1.0 : double(off) / double(counted);
}

// The window is drawn on the output where the design puts it on the stage,
// at the stage's scale, as the window draws itself (grab() at the same scale).
void checkWindow(const QImage &shot, QWidget *window, const QString &name, QRect ignore = {})
{
    const QRect place
        = onOutput(QRect(window->mapTo(window->parentWidget(), QPoint(0, 0)), window->size()));
    QImage own = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    own = own.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage there = shot.copy(place);
    const double s = scale();
    const QRect ignored(qRound(ignore.x() * s), qRound(ignore.y() * s), qRound(ignore.width() * s),
        qRound(ignore.height() * s));
    const double share = differing(own, there, ignored);
    if (!g_keep.isEmpty()) {
        own.save(QDir(g_keep).filePath(name + QStringLiteral(" (own).png")));
        there.save(QDir(g_keep).filePath(name + QStringLiteral(" (shown).png")));
    }
    note(QStringLiteral("%1 at %2,%3 %4x%5 on the output: %6 % of pixels differ")
             .arg(name)
             .arg(place.x())
             .arg(place.y())
             .arg(place.width())
             .arg(place.height())
             .arg(share * 100.0, 0, 'f', 2));
    if (share > 0.03)
        fail(QStringLiteral("%1 is not where and as the design puts it (%2 % differ)")
                 .arg(name)
                 .arg(share * 100.0, 0, 'f', 1));
}

// The stage fills the output's height (or width), centred, black around it.
void checkStage(const QImage &shot, const QString &name)
{
    if (shot.isNull()) {
        fail(name + QStringLiteral(": no screenshot"));
        return;
    }
    const QRect stage = onOutput(QRect(QPoint(0, 0), platform::kStageSize));
    const bool fillsHeight = std::abs(stage.height() - shot.height()) <= 1;
    const bool fillsWidth = std::abs(stage.width() - shot.width()) <= 1;
    if (!fillsHeight && !fillsWidth)
        fail(QStringLiteral("%1: the stage (%2x%3) does not fill the %4x%5 output")
                 .arg(name)
                 .arg(stage.width())
                 .arg(stage.height())
                 .arg(shot.width())
                 .arg(shot.height()));
    const int left = stage.x();
    const int right = shot.width() - (stage.x() + stage.width());
    const int top = stage.y();
    const int bottom = shot.height() - (stage.y() + stage.height());
    if (std::abs(left - right) > 1 || std::abs(top - bottom) > 1)
        fail(QStringLiteral("%1: the stage is off centre (%2 left, %3 right, %4 top, %5 bottom)")
                 .arg(name)
                 .arg(left)
                 .arg(right)
                 .arg(top)
                 .arg(bottom));
    qint64 lit = 0;
    qint64 around = 0;
    const QRect inner = stage.adjusted(-1, -1, 1, 1);
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (inner.contains(x, y))
                continue;
            ++around;
            if (!dark(shot.pixel(x, y)))
                ++lit;
        }
    }
    if (lit > 0)
        fail(QStringLiteral("%1: %2 of %3 pixels around the stage are not black")
                 .arg(name)
                 .arg(lit)
                 .arg(around));
}

// Runs an action from the event loop, so that a modal window it opens runs its
// loop outside the walk's step.
void later(std::function<void()> action)
{
    QTimer::singleShot(0, qApp, std::move(action));
}

void sendMouseMove(QWidget *widget, QPoint point)
{
    QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

template <typename T> T *shown(const QString &objectName)
{
    for (QWidget *widget : QApplication::allWidgets()) {
        auto *found = qobject_cast<T *>(widget);
        if (found != nullptr && widget->isVisible()
            && (objectName.isEmpty() || widget->objectName() == objectName))
            return found;
    }
    return nullptr;
}

// Lets the screen catch up with what the program has drawn.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(25);
    }
}

// Die n's box in view pixels at the design's scale, from the object-id picture.
QRect dieBox(dice3d::DiceView *view, int n)
{
    const QImage ids = view->renderObjectIds();
    const QRgb colour = 0xff000000u | dice3d::DiceRenderer::objectIdColour(n - 1);
    QRect box;
    for (int y = 0; y < ids.height(); ++y) {
        for (int x = 0; x < ids.width(); ++x) {
            if ((ids.pixel(x, y) | 0xff000000u) == colour)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// A click at a view pixel, as a real X event where the platform takes them.
void clickView(dice3d::DiceView *view, QPoint point)
{
    if (platform::windowsPlaceable()) {
        const QPointF global = QPointF(view->mapToGlobal(point)) * scale();
        QProcess::execute(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QString::number(qRound(global.x())),
                QString::number(qRound(global.y())), QStringLiteral("click"),
                QStringLiteral("1") });
    } else {
        QTest::mouseClick(view->glWindow(), Qt::LeftButton, {}, point);
    }
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
    enum class Step { StartScreen, Names, Game, Highscore, Back, Done };

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
        if (auto *box = shown<QMessageBox>({})) {
            settle();
            const QImage shot = screenshot(QStringLiteral("message"));
            checkStage(shot, QStringLiteral("message box"));
            checkWindow(shot, box, QStringLiteral("message box"));
            const QPoint middle = box->pos() + QPoint(box->width() / 2, box->height() / 2);
            if ((middle - QPoint(400, 300)).manhattanLength() > 2)
                fail(QStringLiteral("the message box is not centred on the stage"));
            QPointer<QAbstractButton> ok = box->button(QMessageBox::Ok);
            later([ok] {
                if (ok)
                    QTest::mouseClick(ok, Qt::LeftButton);
            });
            return;
        }
        switch (m_step) {
        case Step::StartScreen:
            if (auto *start = shown<app::TfrmDorvel20Main>({})) {
                settle();
                const QImage shot = screenshot(QStringLiteral("start-screen"));
                checkStage(shot, QStringLiteral("start screen"));
                checkWindow(shot, start, QStringLiteral("start screen"));
                // The backdrop's GL context comes once the start screen is shown.
                if (!QTest::qWaitFor(
                        [start] { return start->GLFullScreenViewer1.hostContext() != nullptr; }))
                    fail(QStringLiteral("the backdrop has no GL context"));
                m_step = Step::Names;
                m_start = start;
                later([start] {
                    QTest::mouseClick(start->imgOK, Qt::LeftButton, {}, QPoint(35, 35));
                });
            }
            break;
        case Step::Names:
            if (auto *names = shown<dialogs::TfrmSpieler>({})) {
                settle();
                // Keys meant for the start screen beneath reach the dialog's field.
                QTest::keyClicks(m_start, QStringLiteral("Ansgar"));
                // A click beneath the dialog does nothing.
                const int before = m_start->playerCount;
                QTest::mouseClick(m_start->imgSpieler, Qt::LeftButton, {}, QPoint(40, 40));
                if (m_start->playerCount != before)
                    fail(QStringLiteral("a click went past the names dialog"));
                settle();
                if (names->efdSpieler[0]->text() != QStringLiteral("Ansgar"))
                    fail(QStringLiteral("typing did not reach the names dialog's field"));
                const QImage shot = screenshot(QStringLiteral("names"));
                checkStage(shot, QStringLiteral("names dialog"));
                if (names->pos() != QPoint(289, 196))
                    fail(QStringLiteral("the names dialog is not centred on the stage"));
                checkWindow(shot, names, QStringLiteral("names dialog"));
                m_step = Step::Game;
                later([names] { QTest::mouseClick(names->SpeedButton1, Qt::LeftButton); });
            }
            break;
        case Step::Game:
            if (auto *game = shown<game::TfrmDorvel20Game>({})) {
                m_game = game;
                if (game->GameState == game::TfrmDorvel20Game::kRolling) {
                    QTest::mouseClick(game->btnWuerfeln, Qt::LeftButton);
                    return;
                }
                if (game->GameState != game::TfrmDorvel20Game::kSettled)
                    return;
                settle();
                dice3d::DiceView *view = game->GLSceneViewer1;
                const QImage shot = screenshot(QStringLiteral("game"));
                checkStage(shot, QStringLiteral("game table"));
                const QRect viewRect(view->mapTo(game, QPoint(0, 0)), view->size());
                checkWindow(shot, game, QStringLiteral("game table"), viewRect);
                // The dice as drawn on the output, against the scene drawn at the
                // design's size and enlarged: the same framing, only sharper.
                const QRect viewPlace = onOutput(viewRect);
                const QImage still = view->renderToImage().convertToFormat(QImage::Format_RGB32);
                const double share = differing(
                    still.scaled(viewPlace.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                    shot.copy(viewPlace));
                note(QStringLiteral("dice view: %1 % of pixels differ from the design's framing "
                                    "(%2 frames drawn)")
                         .arg(share * 100.0, 0, 'f', 2)
                         .arg(view->framesDrawn()));
                if (auto *gl = qobject_cast<dice3d::DiceGLWindow *>(view->glWindow());
                    gl && gl->context()) {
                    const QSurfaceFormat f = gl->context()->format();
                    note(QStringLiteral("dice view surface: %1%2%3 depth %4")
                             .arg(f.redBufferSize())
                             .arg(f.greenBufferSize())
                             .arg(f.blueBufferSize())
                             .arg(f.depthBufferSize()));
                }
                if (share > 0.05)
                    fail(QStringLiteral("the dice are not drawn as designed (%1 % differ)")
                             .arg(share * 100.0, 0, 'f', 1));
                // A click just inside a die's edge, as the design frames it, holds it.
                for (int n : { 1, 5 }) {
                    const QRect box = dieBox(view, n);
                    const QPoint edge(box.left() + 2, box.center().y());
                    clickView(view, edge);
                    const bool held = QTest::qWaitFor([&] { return game->held[n]; }, 5000);
                    note(QStringLiteral("die %1 spans %2..%3 in the view; click at %4,%5: %6")
                             .arg(n)
                             .arg(box.left())
                             .arg(box.right())
                             .arg(edge.x())
                             .arg(edge.y())
                             .arg(held ? QStringLiteral("held") : QStringLiteral("missed")));
                    if (!held)
                        fail(QStringLiteral("a click at die %1's edge did not hold it").arg(n));
                }
                settle();
                screenshot(QStringLiteral("game-held"));
                // Straight to the last turn: one free row left, round 13.
                game->roundNo = 13;
                auto *row = game->findChild<game::TagLabel *>(QStringLiteral("Label13"));
                m_step = Step::Highscore;
                later([row] {
                    sendMouseMove(row, QPoint(10, 10));
                    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(10, 10));
                });
            }
            break;
        case Step::Highscore:
            if (auto *highscore = shown<dialogs::TfrmHighscore>({})) {
                settle();
                const QImage shot = screenshot(QStringLiteral("highscore"));
                checkStage(shot, QStringLiteral("high-score window"));
                if (highscore->pos() != QPoint(595, 70))
                    fail(QStringLiteral("the high-score window is not at 595,70"));
                checkWindow(shot, highscore, QStringLiteral("high-score window"));
                // Escape meant for the table beneath goes to the modal window.
                m_step = Step::Back;
                QPointer<QWidget> table = m_game.data();
                later([table] {
                    if (table)
                        QTest::keyClick(table, Qt::Key_Escape);
                });
            }
            break;
        case Step::Back:
            if (shown<game::TfrmDorvel20Game>({}) == nullptr) {
                auto *start = shown<app::TfrmDorvel20Main>({});
                if (start == nullptr) {
                    fail(QStringLiteral("no start screen after the game"));
                    QCoreApplication::exit(1);
                    return;
                }
                m_step = Step::Done;
                QPointer<QWidget> screen = start;
                later([screen] {
                    if (screen)
                        QTest::keyClick(screen, Qt::Key_Escape);
                });
            } else if (auto *game = shown<game::TfrmDorvel20Game>({});
                       game != nullptr && shown<dialogs::TfrmHighscore>({}) == nullptr) {
                QPointer<QWidget> table = game;
                later([table] {
                    if (table)
                        QTest::keyClick(table, Qt::Key_Escape);
                });
            }
            break;
        case Step::Done:
            break;
        }
    }

    QTimer m_timer;
    QPointer<app::TfrmDorvel20Main> m_start;
    QPointer<game::TfrmDorvel20Game> m_game;
    Step m_step = Step::StartScreen;
    bool m_busy = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: stage_walk <screenshot command> [keep folder]\n");
        return 2;
    }
    g_shoot = QString::fromLocal8Bit(argv[1]);
    if (argc > 2)
        g_keep = QString::fromLocal8Bit(argv[2]);

    const app::Startup startup(argc, argv);
    app::DorvelApplication &application = startup.application();
    note(QStringLiteral("platform %1, screen %2x%3 at scale %4, stage %5")
             .arg(QGuiApplication::platformName())
             .arg(QGuiApplication::primaryScreen()->size().width())
             .arg(QGuiApplication::primaryScreen()->size().height())
             .arg(scale())
             .arg(platform::stage::planned() ? QStringLiteral("planned")
                                             : QStringLiteral("not planned")));
    Walk walk;
    int code = 0;
    {
        app::TfrmDorvel20Main start(startup.sound(), platform::systemResourceLoader(),
            platform::systemClock(), startup.displayModes());
        if (start.startFailed()) {
            fail(QStringLiteral("the start-up failed"));
            return 1;
        }
        if (!start.GLFullScreenViewer1.hosted())
            fail(QStringLiteral("the windows are not on a stage"));
        QObject::connect(&start, &app::TfrmDorvel20Main::closed, &application,
            [&] { application.exit(start.exitCode()); });
        start.show();
        start.activateWindow();
        code = application.exec();
    }
    if (!walk.done())
        fail(QStringLiteral("the walk ended early"));
    return g_failures.isEmpty() && code == 0 ? 0 : 1;
}
