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
#include "app/Startup.h"
#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceRenderer.h"
#include "dice3d/DiceView.h"
#include "display/DisplayMode.h"
#include "display/StagePlan.h"
#include "e2e/WalkSteps.h"
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
#include <QOpenGLContext>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <map>

using namespace dorvel;
using dorvel::test::Walker;

namespace {

QString g_shoot;
QString g_keep;
int g_shots = 0;

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

void checkWindow(
    Walker &walk, const QImage &shot, QWidget *window, const QString &name, QRect ignore = {})
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
    Walker::note(QStringLiteral("%1 at %2,%3 %4x%5 on the output: %6 % of pixels differ")
                     .arg(name)
                     .arg(place.x())
                     .arg(place.y())
                     .arg(place.width())
                     .arg(place.height())
                     .arg(share * 100.0, 0, 'f', 2));
    if (share > 0.03)
        walk.fail(QStringLiteral("%1 is not where and as the design puts it (%2 % differ)")
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
void checkBoxFace(Walker &walk, const QImage &shot, QMessageBox *box)
{
    const QRect place = onOutput(onStage(box));
    const Ink face = inkOf(shot.copy(place));
    if (dark(face.ground))
        walk.fail(QStringLiteral("the message box has no face: it shows the stage's black"));
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        const Ink text = inkOf(shot.copy(onOutput(
            QRect(label->mapTo(box, QPoint(0, 0)) + onStage(box).topLeft(), label->size()))));
        Walker::note(
            QStringLiteral("message box text: %1 % of its pixels stand out from its ground")
                .arg(text.inked * 100.0, 0, 'f', 1));
        if (text.inked < 0.01)
            walk.fail(QStringLiteral("the message box's text cannot be read"));
    } else {
        walk.fail(QStringLiteral("the message box has no text"));
    }
    const int band = qRound(box->fontMetrics().height() * scale());
    const QRect title(place.x(), place.y() - band, place.width(), band);
    const Ink bar = inkOf(shot.copy(title.intersected(shot.rect())));
    Walker::note(QStringLiteral("title bar: %1 % of its pixels stand out")
                     .arg(bar.inked * 100.0, 0, 'f', 1));
    if (title.top() < 0 || dark(bar.ground) || bar.inked < 0.01)
        walk.fail(QStringLiteral("the message box shows no title \"%1\"").arg(box->windowTitle()));
    if (QAbstractButton *ok = box->button(QMessageBox::Ok);
        ok == nullptr || ok->text().remove(QLatin1Char('&')) != QStringLiteral("OK"))
        walk.fail(QStringLiteral("the message box has no OK button"));
}

// The stage fills the output's height (or width), centred, black around it.
void checkStage(Walker &walk, const QImage &shot, const QString &name)
{
    if (shot.isNull()) {
        walk.fail(name + QStringLiteral(": no screenshot"));
        return;
    }
    const QRect stage = onOutput(QRect(QPoint(0, 0), display::kStageSize));
    const bool fillsHeight = std::abs(stage.height() - shot.height()) <= 1;
    const bool fillsWidth = std::abs(stage.width() - shot.width()) <= 1;
    if (!fillsHeight && !fillsWidth)
        walk.fail(QStringLiteral("%1: the stage (%2x%3) does not fill the %4x%5 output")
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
        walk.fail(
            QStringLiteral("%1: the stage is off centre (%2 left, %3 right, %4 top, %5 bottom)")
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
        walk.fail(QStringLiteral("%1: %2 of %3 pixels around the stage are not black")
                      .arg(name)
                      .arg(lit)
                      .arg(around));
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

// A real X click of a mouse button at a point of a widget.
void xdotoolClick(const QWidget *widget, QPoint point, int button)
{
    const QPointF global = QPointF(widget->mapToGlobal(point)) * scale();
    QProcess::execute(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(qRound(global.x())),
            QString::number(qRound(global.y())), QStringLiteral("click"),
            QString::number(button) });
}

// A click at a view pixel, as a real X event where the platform takes them.
void clickView(dice3d::DiceView *view, QPoint point)
{
    if (realClicks()) {
        xdotoolClick(view, point, 1);
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
        xdotoolClick(field, at, 3);
    } else {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
        QApplication::sendEvent(field, &event);
    }
    Walker::settle();
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    return menu != nullptr && menu->isVisible() ? menu : nullptr;
}

// A name field's context menu: it opens where it was asked for, speaks German,
// takes clicks, and Escape closes it and leaves the dialog open. False when the
// dialog is gone.
bool checkNameMenu(Walker &walk, dialogs::TfrmSpieler *names)
{
    QLineEdit *field = names->efdSpieler[0];
    QMenu *menu = openFieldMenu(field);
    if (menu == nullptr) {
        walk.fail(QStringLiteral("the name field's context menu did not open"));
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
    Walker::note(QStringLiteral("name field's menu: %1").arg(texts.join(QStringLiteral(", "))));
    if (texts != german)
        walk.fail(QStringLiteral("the name field's menu does not speak German"));
    const QImage shot = screenshot(QStringLiteral("name-menu"));
    const double s = scale();
    const QRect place(qRound(menu->x() * s), qRound(menu->y() * s), qRound(menu->width() * s),
        qRound(menu->height() * s));
    const QImage own = menu->grab()
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32)
                           .scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double share = differing(own, shot.copy(place));
    Walker::note(QStringLiteral("name field's menu at %1,%2 on the output: %3 % of pixels differ")
                     .arg(place.x())
                     .arg(place.y())
                     .arg(share * 100.0, 0, 'f', 2));
    // Where the caller knows the compositor stacks popups beneath a full-screen
    // window (see stage_wayland.sh), where the menu shows is not checked.
    if (qEnvironmentVariableIsSet("STAGE_WALK_MENU_UNSEEN"))
        Walker::note(QStringLiteral(
            "the compositor stacks the menu out of sight: its place is not checked"));
    else if (share > 0.03)
        walk.fail(QStringLiteral("the name field's menu is not shown where it opened"));
    if (selectAll == nullptr) {
        walk.fail(QStringLiteral("the name field's menu is empty"));
    } else {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(selectAll).center());
        Walker::settle();
        if (field->selectedText() != field->text() || field->text().isEmpty())
            walk.fail(QStringLiteral("a click on the name field's menu did nothing"));
    }
    // Escape, as the system hands it to the program's window, closes the menu
    // and only the menu.
    menu = openFieldMenu(field);
    if (menu == nullptr)
        return names->isVisible();
    QPointer<QMenu> open = menu;
    QTest::keyClick(names->window()->windowHandle(), Qt::Key_Escape);
    Walker::settle();
    if (open && open->isVisible())
        walk.fail(QStringLiteral("Escape did not close the name field's menu"));
    if (!names->isVisible())
        walk.fail(QStringLiteral("Escape in the name field's menu closed the names dialog"));
    return names->isVisible();
}

// The windows in the order a player meets them, each a check of its own on the
// walker; a message box may come up at any point and is checked and confirmed
// before the walk goes on.
class StageWalk
{
public:
    explicit StageWalk(Walker &walk)
        : m_walk(walk)
    {
        walk.everyTick<QMessageBox>([this](QMessageBox &box) { return messageBox(box); });
        add("start screen", &StageWalk::startScreen);
        add("names dialog", &StageWalk::namesDialog);
        add("game table", &StageWalk::gameTable);
        add("high-score window", &StageWalk::highscoreWindow);
        walk.check(QStringLiteral("way back to the start screen"), [this] { return back(); });
    }

private:
    // A check that runs once a window of its kind is shown.
    template <typename T> void add(const char *name, bool (StageWalk::*check)(T &))
    {
        m_walk.check<T>(
            QString::fromLatin1(name), [this, check](T &window) { return (this->*check)(window); });
    }

    // A window once the screen has caught up with it, shot whole: the stage as
    // designed around it, the window on it as it draws itself.
    QImage look(QWidget *window, const QString &file, const QString &name, const QRect &ignore = {})
    {
        Walker::settle();
        const QImage shot = screenshot(file);
        checkStage(m_walk, shot, name);
        checkWindow(m_walk, shot, window, name, ignore);
        return shot;
    }

    bool messageBox(QMessageBox &box)
    {
        const QImage shot = look(&box, QStringLiteral("message"), QStringLiteral("message box"));
        checkBoxFace(m_walk, shot, &box);
        // Centred with its title bar, as a window manager centres a dialog.
        const QWidget *outer = box.parentWidget() != stage::current() ? box.parentWidget() : &box;
        const QPoint middle = outer->pos() + QPoint(outer->width() / 2, outer->height() / 2);
        if ((middle - QPoint(400, 300)).manhattanLength() > 2)
            m_walk.fail(QStringLiteral("the message box is not centred on the stage"));
        // Return, as the system hands it to the program's window, closes it.
        QPointer<QMessageBox> shownBox = &box;
        QPointer<QWindow> host = box.window()->windowHandle();
        m_walk.post([this, shownBox, host] {
            if (host)
                QTest::keyClick(host, Qt::Key_Return);
            QCoreApplication::processEvents();
            if (shownBox && shownBox->isVisible()) {
                m_walk.fail(QStringLiteral("the message box did not take the Return key"));
                QTest::mouseClick(shownBox->button(QMessageBox::Ok), Qt::LeftButton);
            }
        });
        return true;
    }

    bool startScreen(app::TfrmDorvel20Main &start)
    {
        look(&start, QStringLiteral("start-screen"), QStringLiteral("start screen"));
        // The backdrop's GL context comes once the start screen is shown.
        if (!QTest::qWaitFor(
                [&start] { return start.GLFullScreenViewer1.hostContext() != nullptr; }))
            m_walk.fail(QStringLiteral("the backdrop has no GL context"));
        m_start = &start;
        e2e::openNames(m_walk, start);
        return true;
    }

    bool namesDialog(dialogs::TfrmSpieler &names)
    {
        Walker::settle();
        // Keys meant for the start screen beneath reach the dialog's field.
        QTest::keyClicks(m_start, QStringLiteral("Ansgar"));
        // A click beneath the dialog does nothing.
        const int before = m_start->playerCount;
        QTest::mouseClick(m_start->imgSpieler, Qt::LeftButton, {}, QPoint(40, 40));
        if (m_start->playerCount != before)
            m_walk.fail(QStringLiteral("a click went past the names dialog"));
        look(&names, QStringLiteral("names"), QStringLiteral("names dialog"));
        if (names.efdSpieler[0]->text() != QStringLiteral("Ansgar"))
            m_walk.fail(QStringLiteral("typing did not reach the names dialog's field"));
        if (names.pos() != QPoint(289, 196))
            m_walk.fail(QStringLiteral("the names dialog is not centred on the stage"));
        if (!checkNameMenu(m_walk, &names)) {
            QCoreApplication::exit(1);
            return false;
        }
        m_walk.post(
            names.SpeedButton1, [](QWidget &ok) { QTest::mouseClick(&ok, Qt::LeftButton); });
        return true;
    }

    bool gameTable(game::TfrmDorvel20Game &game)
    {
        m_game = &game;
        if (!e2e::rolledAndSettled(game))
            return false;
        dice3d::DiceView *view = game.GLSceneViewer1;
        const QRect viewRect(view->mapTo(&game, QPoint(0, 0)), view->size());
        const QImage shot
            = look(&game, QStringLiteral("game"), QStringLiteral("game table"), viewRect);
        // The dice as drawn on the output, against the scene drawn at the
        // design's size and enlarged: the same framing, only sharper.
        const QRect viewPlace = onOutput(viewRect);
        const QImage still = view->renderToImage().convertToFormat(QImage::Format_RGB32);
        const double share = differing(
            still.scaled(viewPlace.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            shot.copy(viewPlace));
        Walker::note(QStringLiteral("dice view: %1 % of pixels differ from the design's framing "
                                    "(%2 frames drawn)")
                         .arg(share * 100.0, 0, 'f', 2)
                         .arg(view->framesDrawn()));
        if (auto *gl = qobject_cast<dice3d::DiceGLWindow *>(view->glWindow());
            gl && gl->context()) {
            const QSurfaceFormat f = gl->context()->format();
            Walker::note(QStringLiteral("dice view surface: %1%2%3 depth %4")
                             .arg(f.redBufferSize())
                             .arg(f.greenBufferSize())
                             .arg(f.blueBufferSize())
                             .arg(f.depthBufferSize()));
        }
        if (share > 0.05)
            m_walk.fail(QStringLiteral("the dice are not drawn as designed (%1 % differ)")
                            .arg(share * 100.0, 0, 'f', 1));
        // A click just inside a die's edge, as the design frames it, holds it.
        for (int n : { 1, 5 }) {
            const QRect box = dieBox(view, n);
            const QPoint edge(box.left() + 2, box.center().y());
            clickView(view, edge);
            const bool held = QTest::qWaitFor([&] { return game.held[n]; }, 5000);
            Walker::note(QStringLiteral("die %1 spans %2..%3 in the view; click at %4,%5: %6")
                             .arg(n)
                             .arg(box.left())
                             .arg(box.right())
                             .arg(edge.x())
                             .arg(edge.y())
                             .arg(held ? QStringLiteral("held") : QStringLiteral("missed")));
            if (!held)
                m_walk.fail(QStringLiteral("a click at die %1's edge did not hold it").arg(n));
        }
        Walker::settle();
        screenshot(QStringLiteral("game-held"));
        e2e::toLastTurn(m_walk, game);
        return true;
    }

    bool highscoreWindow(dialogs::TfrmHighscore &highscore)
    {
        look(&highscore, QStringLiteral("highscore"), QStringLiteral("high-score window"));
        if (highscore.pos() != QPoint(595, 70))
            m_walk.fail(QStringLiteral("the high-score window is not at 595,70"));
        // Escape meant for the table beneath goes to the modal window.
        escapeLater(m_game.data());
        return true;
    }

    // Escape on the table until it is gone (it asks first), then on the start
    // screen, which ends the program.
    bool back()
    {
        if (auto *game = Walker::shown<game::TfrmDorvel20Game>()) {
            if (Walker::shown<dialogs::TfrmHighscore>() == nullptr)
                escapeLater(game);
            return false;
        }
        auto *start = Walker::shown<app::TfrmDorvel20Main>();
        if (start == nullptr) {
            m_walk.fail(QStringLiteral("no start screen after the game"));
            QCoreApplication::exit(1);
            return false;
        }
        escapeLater(start);
        return true;
    }

    void escapeLater(QWidget *window)
    {
        m_walk.post(window, [](QWidget &target) { QTest::keyClick(&target, Qt::Key_Escape); });
    }

    Walker &m_walk;
    QPointer<app::TfrmDorvel20Main> m_start;
    QPointer<game::TfrmDorvel20Game> m_game;
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
    Walker::note(
        QStringLiteral("platform %1, screen %2x%3 at scale %4, stage %5")
            .arg(QGuiApplication::platformName())
            .arg(QGuiApplication::primaryScreen()->size().width())
            .arg(QGuiApplication::primaryScreen()->size().height())
            .arg(scale())
            .arg(stage::planned() ? QStringLiteral("planned") : QStringLiteral("not planned")));
    Walker walk(50);
    const StageWalk checks(walk);
    walk.start();
    app::TfrmDorvel20Main start(startup.sound(), resources::systemResourceLoader(),
        platform::systemClock(), startup.displayModes());
    if (start.startFailed()) {
        walk.fail(QStringLiteral("the start-up failed"));
        return 1;
    }
    if (!start.GLFullScreenViewer1.hosted())
        walk.fail(QStringLiteral("the windows are not on a stage"));
    return e2e::play(walk, start);
}
