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
#include "display/DisplayMode.h"
#include "game/TagButton.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "resources/ResourceLibrary.h"
#include "stage/Stage.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
#include <map>
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
    const QWidget *stage = stage::current();
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
// Where a window lies on the stage (it may sit in a frame that carries its title).
QRect onStage(const QWidget *window)
{
    const QWidget *stage = stage::current();
    return QRect(stage != nullptr && stage->isAncestorOf(window)
            ? window->mapTo(stage, QPoint(0, 0))
            : window->pos(),
        window->size());
}

void checkWindow(const QImage &shot, QWidget *window, const QString &name, QRect ignore = {})
{
    const QRect place = onOutput(onStage(window));
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

int luminance(QRgb pixel)
{
    return (qRed(pixel) * 299 + qGreen(pixel) * 587 + qBlue(pixel) * 114) / 1000;
}

// The colour most of an area shows, and the share of its pixels that stand out
// from it clearly enough to be read (text, lines).
struct Ink
{
    QRgb ground = 0;
    double inked = 0.0;
};

Ink inkOf(const QImage &area)
{
    std::map<QRgb, int> counts;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x)
            ++counts[area.pixel(x, y) & 0xfff0f0f0u];
    }
    if (counts.empty())
        return {};
    const QRgb ground = std::max_element(counts.begin(), counts.end(), [](auto a, auto b) {
        return a.second < b.second;
    })->first;
    qint64 inked = 0;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            if (std::abs(luminance(area.pixel(x, y)) - luminance(ground)) > 96)
                ++inked;
        }
    }
    return { ground, double(inked) / double(area.width() * area.height()) };
}

// A message box on the output as on a screen of its own: a face that is not
// the stage's black, its text readable on it, and a title bar above it with
// something written in it (a frame of the compositor's or the program's own).
void checkBoxFace(const QImage &shot, QMessageBox *box)
{
    const QRect place = onOutput(onStage(box));
    const Ink face = inkOf(shot.copy(place));
    if (dark(face.ground))
        fail(QStringLiteral("the message box has no face: it shows the stage's black"));
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        const Ink text = inkOf(shot.copy(onOutput(
            QRect(label->mapTo(box, QPoint(0, 0)) + onStage(box).topLeft(), label->size()))));
        note(QStringLiteral("message box text: %1 % of its pixels stand out from its ground")
                 .arg(text.inked * 100.0, 0, 'f', 1));
        if (text.inked < 0.01)
            fail(QStringLiteral("the message box's text cannot be read"));
    } else {
        fail(QStringLiteral("the message box has no text"));
    }
    const int band = qRound(box->fontMetrics().height() * scale());
    const QRect title(place.x(), place.y() - band, place.width(), band);
    const Ink bar = inkOf(shot.copy(title.intersected(shot.rect())));
    note(QStringLiteral("title bar: %1 % of its pixels stand out")
             .arg(bar.inked * 100.0, 0, 'f', 1));
    if (title.top() < 0 || dark(bar.ground) || bar.inked < 0.01)
        fail(QStringLiteral("the message box shows no title \"%1\"").arg(box->windowTitle()));
    if (QAbstractButton *ok = box->button(QMessageBox::Ok);
        ok == nullptr || ok->text().remove(QLatin1Char('&')) != QStringLiteral("OK"))
        fail(QStringLiteral("the message box has no OK button"));
}

// The stage fills the output's height (or width), centred, black around it.
void checkStage(const QImage &shot, const QString &name)
{
    if (shot.isNull()) {
        fail(name + QStringLiteral(": no screenshot"));
        return;
    }
    const QRect stage = onOutput(QRect(QPoint(0, 0), display::kStageSize));
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

// Whether real clicks can be sent with xdotool: on an X screen, or where the
// caller runs the compositor in an X window whose input it passes on.
bool realClicks()
{
    return display::windowsPlaceable() || qEnvironmentVariableIsSet("STAGE_WALK_XDOTOOL");
}

// A click at a view pixel, as a real X event where the platform takes them.
void clickView(dice3d::DiceView *view, QPoint point)
{
    if (realClicks()) {
        const QPointF global = QPointF(view->mapToGlobal(point)) * scale();
        QProcess::execute(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QString::number(qRound(global.x())),
                QString::number(qRound(global.y())), QStringLiteral("click"),
                QStringLiteral("1") });
    } else {
        QTest::mouseClick(view->glWindow(), Qt::LeftButton, {}, point);
    }
}

// Opens the context menu of the names dialog's first field, as a right click
// there does, and returns it.
QMenu *openFieldMenu(QLineEdit *field)
{
    const QPoint at(10, field->height() / 2);
    if (realClicks()) {
        // A real right click: a Wayland popup needs the serial of one.
        const QPointF global = QPointF(field->mapToGlobal(at)) * scale();
        QProcess::execute(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QString::number(qRound(global.x())),
                QString::number(qRound(global.y())), QStringLiteral("click"),
                QStringLiteral("3") });
    } else {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
        QApplication::sendEvent(field, &event);
    }
    settle();
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    return menu != nullptr && menu->isVisible() ? menu : nullptr;
}

// A name field's context menu: it opens where it was asked for, speaks German,
// takes clicks, and Escape closes it and leaves the dialog open. False when the
// dialog is gone.
bool checkNameMenu(dialogs::TfrmSpieler *names)
{
    QLineEdit *field = names->efdSpieler[0];
    QMenu *menu = openFieldMenu(field);
    if (menu == nullptr) {
        fail(QStringLiteral("the name field's context menu did not open"));
        return names->isVisible();
    }
    QStringList texts;
    QAction *selectAll = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        texts << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
        selectAll = action; // Qt's edit menu ends with "select all"
    }
    const QStringList german { QStringLiteral("Rückgängig"), QStringLiteral("Wiederherstellen"),
        QStringLiteral("Ausschneiden"), QStringLiteral("Kopieren"), QStringLiteral("Einfügen"),
        QStringLiteral("Löschen"), QStringLiteral("Alles auswählen") };
    note(QStringLiteral("name field's menu: %1").arg(texts.join(QStringLiteral(", "))));
    if (texts != german)
        fail(QStringLiteral("the name field's menu does not speak German"));
    const QImage shot = screenshot(QStringLiteral("name-menu"));
    const double s = scale();
    const QRect place(qRound(menu->x() * s), qRound(menu->y() * s), qRound(menu->width() * s),
        qRound(menu->height() * s));
    const QImage own = menu->grab()
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32)
                           .scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double share = differing(own, shot.copy(place));
    note(QStringLiteral("name field's menu at %1,%2 on the output: %3 % of pixels differ")
             .arg(place.x())
             .arg(place.y())
             .arg(share * 100.0, 0, 'f', 2));
    // Where the caller knows the compositor stacks popups beneath a full-screen
    // window (see stage_wayland.sh), where the menu shows is not checked.
    if (qEnvironmentVariableIsSet("STAGE_WALK_MENU_UNSEEN"))
        note(QStringLiteral(
            "the compositor stacks the menu out of sight: its place is not checked"));
    else if (share > 0.03)
        fail(QStringLiteral("the name field's menu is not shown where it opened"));
    if (selectAll == nullptr) {
        fail(QStringLiteral("the name field's menu is empty"));
    } else {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(selectAll).center());
        settle();
        if (field->selectedText() != field->text() || field->text().isEmpty())
            fail(QStringLiteral("a click on the name field's menu did nothing"));
    }
    // Escape, as the system hands it to the program's window, closes the menu
    // and only the menu.
    menu = openFieldMenu(field);
    if (menu == nullptr)
        return names->isVisible();
    QPointer<QMenu> open = menu;
    QTest::keyClick(names->window()->windowHandle(), Qt::Key_Escape);
    settle();
    if (open && open->isVisible())
        fail(QStringLiteral("Escape did not close the name field's menu"));
    if (!names->isVisible())
        fail(QStringLiteral("Escape in the name field's menu closed the names dialog"));
    return names->isVisible();
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
            checkBoxFace(shot, box);
            // Centred with its title bar, as a window manager centres a dialog.
            const QWidget *outer
                = box->parentWidget() != stage::current() ? box->parentWidget() : box;
            const QPoint middle = outer->pos() + QPoint(outer->width() / 2, outer->height() / 2);
            if ((middle - QPoint(400, 300)).manhattanLength() > 2)
                fail(QStringLiteral("the message box is not centred on the stage"));
            // Return, as the system hands it to the program's window, closes it.
            QPointer<QMessageBox> shownBox = box;
            QPointer<QWindow> host = box->window()->windowHandle();
            later([shownBox, host] {
                if (host)
                    QTest::keyClick(host, Qt::Key_Return);
                QCoreApplication::processEvents();
                if (shownBox && shownBox->isVisible()) {
                    fail(QStringLiteral("the message box did not take the Return key"));
                    QTest::mouseClick(shownBox->button(QMessageBox::Ok), Qt::LeftButton);
                }
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
                if (!checkNameMenu(names)) {
                    QCoreApplication::exit(1);
                    return;
                }
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
             .arg(stage::planned() ? QStringLiteral("planned") : QStringLiteral("not planned")));
    Walk walk;
    int code = 0;
    {
        app::TfrmDorvel20Main start(startup.sound(), resources::systemResourceLoader(),
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
