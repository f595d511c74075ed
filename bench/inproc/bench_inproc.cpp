// In-process measurements: the program's own libraries driven by a harness.
//
//   bench_inproc startup [--runs N]   start-up and the way into a game, mirroring
//                                     main(), with a breakdown (each run in a
//                                     fresh process of this program)
//   bench_inproc frame [--frames N]   cost of one frame of the 150×425 dice view
//   bench_inproc first-frame [--runs N]  the dice view's first frame in a fresh
//                                     process, with and without a prepared context
//   bench_inproc ticks [--ticks N]    the roll animation's tick intervals
//   bench_inproc game                 CPU time of a scripted one-player game
//
// Windows are real Qt windows; run it under Xvfb with ALSOFT_DRIVERS=null.
#include "BenchStats.h"
#include "TimedSoundLibrary.h"

#include "app/DorvelApplication.h"
#include "app/TfrmDorvel20Main.h"
#include "dialogs/TfrmHighscore.h"
#include "dialogs/TfrmSpieler.h"
#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceRenderer.h"
#include "dice3d/DiceScene.h"
#include "dice3d/DiceView.h"
#include "dice3d/RollAnimation.h"
#include "game/TagLabel.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Clock.h"
#include "platform/DisplayMode.h"
#include "platform/Fonts.h"
#include "platform/OpenAlSoundLibrary.h"
#include "platform/ResourceLibrary.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace dorvel;
using bench::monotonicNs;

namespace {

double ms(long long ns)
{
    return static_cast<double>(ns) / 1e6;
}

/// Works in a folder of its own with a "dorvel.cfg" of sound and music on, so
/// that the settings the program reads and writes are never the caller's.
std::string enterScratchFolder()
{
    char pattern[] = "/tmp/dorvel-inproc-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    if (chdir(pattern) != 0)
        throw std::runtime_error("chdir failed");
    std::array<char, 324> bytes {};
    bytes[0] = 1; // sound on
    bytes[1] = 1; // music on
    std::FILE *file = std::fopen("dorvel.cfg", "wb");
    if (!file)
        throw std::runtime_error("cannot write dorvel.cfg");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return pattern;
}

void leaveScratchFolder(const std::string &folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

/// The display modes, with the time of the first call noted: the full-screen
/// viewer's activation begins with it.
class StampedDisplayModes : public platform::DisplayModes
{
public:
    explicit StampedDisplayModes(platform::DisplayModes &real)
        : m_real(real)
    {
    }
    long long firstCall = 0;
    std::vector<platform::DisplayMode> modes() override
    {
        note();
        return m_real.modes();
    }
    platform::DisplayMode current() override
    {
        note();
        return m_real.current();
    }
    bool switchTemporarily(const platform::DisplayMode &mode) override
    {
        note();
        return m_real.switchTemporarily(mode);
    }
    void restore() override { m_real.restore(); }

private:
    void note()
    {
        if (!firstCall)
            firstCall = monotonicNs();
    }
    platform::DisplayModes &m_real;
};

/// The resource library search, timed.
class TimedResourceLoader : public platform::ResourceLoader
{
public:
    long long ns = 0;
    int calls = 0;
    const platform::ResourceModule *loadLibrary(std::string_view fileName) override
    {
        const long long t0 = monotonicNs();
        const platform::ResourceModule *module
            = platform::systemResourceLoader().loadLibrary(fileName);
        ns += monotonicNs() - t0;
        ++calls;
        return module;
    }
};

/// Records the first time an event of a type reaches an object with a name.
class FirstEventStamp : public QObject
{
public:
    struct Key
    {
        QString objectName;
        QEvent::Type type;
        bool operator<(const Key &other) const
        {
            return objectName != other.objectName ? objectName < other.objectName
                                                  : type < other.type;
        }
    };
    std::map<Key, long long> stamps;
    std::function<void(QObject *, QEvent *)> onFirst;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString name = watched->objectName();
        if (!name.isEmpty()
            && (event->type() == QEvent::Paint || event->type() == QEvent::Show
                || event->type() == QEvent::Expose)) {
            const Key key { name, event->type() };
            if (!stamps.count(key)) {
                stamps[key] = monotonicNs();
                if (onFirst)
                    onFirst(watched, event);
            }
        }
        return false;
    }
    long long at(const QString &name, QEvent::Type type) const
    {
        const auto it = stamps.find({ name, type });
        return it == stamps.end() ? 0 : it->second;
    }
};

/// A fixed time of day, so the scripted game draws the same dice every run.
class SteppingClock : public platform::Clock
{
public:
    std::uint32_t millisecondsSinceMidnightUtc() const override
    {
        return 12345678u + 977u * m_calls++;
    }

private:
    mutable std::uint32_t m_calls = 0;
};

// --- start-up and into a game ----------------------------------------------

/// One start-up in this process: prints "T <name> <ms since main()>" lines.
int startupOnce(int argc, char **argv)
{
    const long long mainEntered = monotonicNs();
    std::vector<std::pair<std::string, long long>> marks;
    auto mark = [&](const std::string &name) { marks.emplace_back(name, monotonicNs()); };

    const auto displayModes = platform::createSystemDisplayModes();
    mark("display modes created");
    bench::TimedSoundLibrary sound(platform::createOpenAlSoundLibrary(app::kSoundFrequency));
    mark("sound library created (device opening ahead)");
    app::DorvelApplication application(argc, argv);
    mark("application created");
    platform::registerFonts();
    mark("fonts registered");

    FirstEventStamp stamps;
    application.installEventFilter(&stamps);

    long long mainPainted = 0;
    long long namesOk = 0;
    long long tableShown = 0;
    long long tablePainted = 0;
    long long diceSwapped = 0;
    QPointer<game::TfrmDorvel20Game> table;

    StampedDisplayModes stampedModes(*displayModes);
    TimedResourceLoader resources;
    const long long formCreate = monotonicNs();
    app::TfrmDorvel20Main main(sound, resources, platform::systemClock(), stampedModes);
    mark("start screen created (FormCreate)");
    const long long formCreated = monotonicNs();
    const bench::TimedSoundLibrary::Totals startupSound = sound.totals();
    if (main.startFailed()) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }

    auto finish = [&] {
        if (table)
            table->close();
        main.close();
        application.quit();
    };

    stamps.onFirst = [&](QObject *watched, QEvent *event) {
        const QString name = watched->objectName();
        if (name == QLatin1String("frmDorvel20Main") && event->type() == QEvent::Paint) {
            // After the paint event come the flush and the next loop pass.
            QTimer::singleShot(0, [&] {
                mainPainted = monotonicNs();
                // Give the window a moment, then go into a game as a player would.
                QTimer::singleShot(300, [&] {
                    QTimer::singleShot(200, [&] {
                        auto *names = qobject_cast<dialogs::TfrmSpieler *>(
                            QApplication::activeModalWidget());
                        if (!names) {
                            std::fprintf(stderr, "no names dialog\n");
                            finish();
                            return;
                        }
                        namesOk = monotonicNs();
                        names->SpeedButton1->click();
                    });
                    main.imgOKClick();
                    // The game has closed again.
                    finish();
                });
            });
        } else if (name == QLatin1String("frmDorvel20Game") && event->type() == QEvent::Show) {
            tableShown = monotonicNs();
            table = qobject_cast<game::TfrmDorvel20Game *>(watched);
            if (table) {
                if (auto *gl
                    = qobject_cast<dice3d::DiceGLWindow *>(table->GLSceneViewer1->glWindow())) {
                    QObject::connect(gl, &dice3d::DiceGLWindow::frameSwapped, gl, [&] {
                        if (!diceSwapped)
                            diceSwapped = monotonicNs();
                    });
                }
            }
        } else if (name == QLatin1String("frmDorvel20Game") && event->type() == QEvent::Paint) {
            QTimer::singleShot(0, [&] {
                tablePainted = monotonicNs();
                QTimer::singleShot(500, [&] {
                    if (table)
                        table->close();
                });
            });
        }
    };

    QObject::connect(
        &main, &app::TfrmDorvel20Main::closed, &application, [&] { application.quit(); });
    main.show();
    main.activateWindow();
    mark("start screen shown");
    QTimer::singleShot(20000, [&] { finish(); }); // a safety net
    application.exec();
    main.close();

    for (const auto &[name, at] : marks)
        std::printf("T\t%s\t%.3f\n", name.c_str(), ms(at - mainEntered));
    auto stamp = [&](const char *name, long long at) {
        if (at)
            std::printf("T\t%s\t%.3f\n", name, ms(at - mainEntered));
    };
    stamp("start screen first paint (event)",
        stamps.at(QStringLiteral("frmDorvel20Main"), QEvent::Paint));
    stamp("start screen first frame (after paint)", mainPainted);
    for (const auto &[call, total] : startupSound.byCall)
        std::printf("S\t%s\t%.3f\t%d\n", call.c_str(), ms(total.ns), total.count);
    // Inside FormCreate: the viewer's activation runs from the first display-mode
    // call to the music's first play (music is on in the scratch settings).
    const auto play = startupSound.byCall.find("BASS_SamplePlay");
    if (stampedModes.firstCall && play != startupSound.byCall.end())
        std::printf("S\t%s\t%.3f\t1\n", "full-screen viewer activation (GL backdrop)",
            ms(play->second.firstAt - stampedModes.firstCall));
    if (stampedModes.firstCall) {
        long long soundNs = 0;
        for (const auto &[call, total] : startupSound.byCall)
            soundNs += total.ns;
        const long long viewer
            = play != startupSound.byCall.end() ? play->second.firstAt - stampedModes.firstCall : 0;
        std::printf("S\t%s\t%.3f\t1\n", "resource library search and mapping", ms(resources.ns));
        std::printf("S\t%s\t%.3f\t1\n",
            "rest of FormCreate (background JPEG, pictures, settings file)",
            ms(formCreated - formCreate - soundNs - viewer - resources.ns));
    }
    if (namesOk) {
        auto since = [&](const char *name, long long at) {
            if (at)
                std::printf("G\t%s\t%.3f\n", name, ms(at - namesOk));
        };
        since("game table shown", tableShown);
        since("game table first paint (event)",
            stamps.at(QStringLiteral("frmDorvel20Game"), QEvent::Paint));
        since("game table first frame (after paint)", tablePainted);
        since("dice view first frame swapped", diceSwapped);
    }
    const bench::TimedSoundLibrary::Totals all = sound.totals();
    for (const auto &[call, total] : all.byCall) {
        const auto before = startupSound.byCall.find(call);
        const long long ns
            = total.ns - (before == startupSound.byCall.end() ? 0 : before->second.ns);
        const int count
            = total.count - (before == startupSound.byCall.end() ? 0 : before->second.count);
        if (count > 0)
            std::printf("GS\t%s\t%.3f\t%d\n", call.c_str(), ms(ns), count);
    }
    return 0;
}

/// Runs startupOnce in fresh processes and prints the medians.
int startup(const char *self, int runs)
{
    std::map<std::string, std::vector<double>> byMark[4];
    const char *prefixes[4] = { "T", "S", "G", "GS" };
    std::vector<std::string> order[4];
    for (int run = 0; run < runs; ++run) {
        const std::string command = std::string("'") + self + "' startup-once";
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe)
            throw std::runtime_error("popen failed");
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n')
                text.pop_back();
            const auto tab1 = text.find('\t');
            const auto tab2 = text.find('\t', tab1 + 1);
            if (tab1 == std::string::npos || tab2 == std::string::npos)
                continue;
            const std::string prefix = text.substr(0, tab1);
            const std::string name = text.substr(tab1 + 1, tab2 - tab1 - 1);
            const double value = std::stod(text.substr(tab2 + 1));
            for (int k = 0; k < 4; ++k) {
                if (prefix == prefixes[k]) {
                    if (!byMark[k].count(name))
                        order[k].push_back(name);
                    byMark[k][name].push_back(value);
                }
            }
        }
        pclose(pipe);
    }
    for (const std::string &name : order[0])
        bench::printRunsRow("In process, main() to " + name, byMark[0][name], "ms", "-",
            name.rfind("start screen first", 0) == 0 ? "A" : "-");
    for (const std::string &name : order[1])
        bench::printRunsRow("  start-up: " + name, byMark[1][name], "ms", "-");
    for (const std::string &name : order[2])
        bench::printRunsRow("In process, names OK to " + name, byMark[2][name], "ms", "-",
            name.find("first") != std::string::npos ? "B" : "-");
    for (const std::string &name : order[3])
        bench::printRunsRow(
            "  sound " + name + " (names OK to game closed)", byMark[3][name], "ms", "-");
    return 0;
}

// --- dice frames -----------------------------------------------------------

/// Loads the die model into the five dice, as the game table does.
bool loadDice(dice3d::DiceScene &scene)
{
    const platform::ResourceModule *module
        = platform::systemResourceLoader().loadLibrary(platform::kResourceLibraryName);
    auto stream = platform::openResource(module, 105);
    if (!stream)
        return false;
    bool ok = true;
    for (int n = 1; n <= 5; ++n)
        ok = scene.die(n).LoadFromStream(QStringLiteral("3ddice.3ds"), *stream) && ok;
    return ok;
}

void showAngles(dice3d::DiceScene &scene, const dice3d::RollAnimation &animation)
{
    for (int i = 1; i <= 5; ++i) {
        auto &die = scene.die(i);
        die.setPitchAngle(static_cast<float>(animation.diePitch[static_cast<std::size_t>(i)]));
        die.setTurnAngle(static_cast<float>(animation.dieTurn[static_cast<std::size_t>(i)]));
    }
}

int frames(int count)
{
    dice3d::DiceScene scene;
    if (!loadDice(scene))
        throw std::runtime_error("die model not loaded");

    QOpenGLContext context;
    context.setFormat(dice3d::DiceGLWindow::requestedFormat());
    if (!context.create())
        throw std::runtime_error("no GL context");
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface))
        throw std::runtime_error("makeCurrent failed");
    QOpenGLFunctions *gl = context.functions();
    const QString renderer
        = QString::fromLatin1(reinterpret_cast<const char *>(gl->glGetString(GL_RENDERER)));

    constexpr int w = 150;
    constexpr int h = 425;
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    format.setInternalTextureFormat(0x8D62); // GL_RGB565, the view's 16-bit colour
    auto fbo = std::make_unique<QOpenGLFramebufferObject>(w, h, format);
    QString colour = QStringLiteral("RGB565");
    if (!fbo->isValid()) {
        format.setInternalTextureFormat(0); // the default RGBA8
        fbo = std::make_unique<QOpenGLFramebufferObject>(w, h, format);
        colour = QStringLiteral("RGBA8");
    }
    if (!fbo->isValid() || !fbo->bind())
        throw std::runtime_error("no framebuffer object");

    dice3d::DiceRenderer draw;
    draw.initialize();

    dice3d::RollAnimation animation;
    animation.fillFaceTable();
    dice3d::RollAnimation::PerDie<bool> held {};
    dice3d::RollAnimation::PerDie<std::uint8_t> values { 0, 1, 2, 3, 5, 6 };

    struct Costs
    {
        std::vector<double> wall; // ms per frame
        double cpuPerFrame = 0; // ms of process CPU (all threads) per frame
    };
    auto mode = dice3d::DiceRenderer::Mode::Textured;
    auto measure = [&](bool rolling, int frames) {
        Costs costs;
        costs.wall.reserve(static_cast<std::size_t>(frames));
        animation.resetAngles();
        animation.startRoll(held);
        long long cpu0 = 0;
        for (int frame = -50; frame < frames; ++frame) { // 50 frames of warm-up
            if (frame == 0)
                cpu0 = bench::processCpuNs();
            if (rolling) {
                animation.step(2, held, values);
                showAngles(scene, animation);
            }
            const long long t0 = monotonicNs();
            draw.render(scene, w, h, mode);
            gl->glFinish();
            const long long t1 = monotonicNs();
            if (frame >= 0)
                costs.wall.push_back(ms(t1 - t0));
        }
        costs.cpuPerFrame = ms(bench::processCpuNs() - cpu0) / frames;
        return costs;
    };
    auto row = [&](const std::string &what, const Costs &costs, const std::string &goal) {
        bench::printRow("Dice view frame 150x425, " + what, bench::quantile(costs.wall, 0.5),
            bench::quantile(costs.wall, 0.5), bench::quantile(costs.wall, 0.99), "ms", "p50/p99",
            costs.wall.size(), goal);
    };
    // At rest: the settled faces 1, 2, 3, 5, 6 (the turn targets included).
    auto atRest = [&] {
        animation.resetAngles();
        for (int i = 1; i <= 5; ++i) {
            const auto face = animation.faceTable()[values[static_cast<std::size_t>(i)]];
            scene.die(i).setPitchAngle(static_cast<float>(face.pitch));
            scene.die(i).setTurnAngle(static_cast<float>(face.turn));
        }
    };
    atRest();
    const Costs rest = measure(false, count);
    const Costs rolling = measure(true, count);
    row("at rest", rest, "<= 0.8");
    bench::printValueRow("  largest frame, at rest", bench::maximum(rest.wall), "ms", "-");
    bench::printValueRow("  CPU per frame (all threads), at rest", rest.cpuPerFrame, "ms", "-");
    row("rolling", rolling, "<= 0.8");
    mode = dice3d::DiceRenderer::Mode::TexturedDirect;
    const Costs direct = measure(true, count / 2);
    row("rolling, every object drawn (no slab cache)", direct, "-");
    mode = dice3d::DiceRenderer::Mode::Textured;
    bench::printValueRow("  largest frame, rolling", bench::maximum(rolling.wall), "ms", "-");
    bench::printValueRow("  CPU per frame (all threads), rolling", rolling.cpuPerFrame, "ms", "-");

    // What would make it cheaper: the same frames with the textures sampled
    // without mipmaps (bilinear), and into a 32-bit target.
    auto setMinFilter = [&](GLint filter) {
        for (GLuint name = 1; name < 64; ++name) {
            if (gl->glIsTexture(name)) {
                gl->glBindTexture(GL_TEXTURE_2D, name);
                gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
            }
        }
        gl->glBindTexture(GL_TEXTURE_2D, 0);
    };
    setMinFilter(GL_LINEAR_MIPMAP_NEAREST);
    const Costs nearestMip = measure(true, count / 2);
    row("rolling, what if: mipmaps nearest level (GL_LINEAR_MIPMAP_NEAREST)", nearestMip, "-");
    setMinFilter(GL_LINEAR);
    const Costs bilinear = measure(true, count / 2);
    row("rolling, what if: no mipmaps (GL_LINEAR)", bilinear, "-");
    setMinFilter(GL_LINEAR_MIPMAP_LINEAR);
    {
        QOpenGLFramebufferObjectFormat wide;
        wide.setAttachment(QOpenGLFramebufferObject::Depth);
        QOpenGLFramebufferObject rgba(w, h, wide);
        if (rgba.isValid() && rgba.bind()) {
            const Costs rgba8 = measure(true, count / 2);
            row("rolling, what if: RGBA8 target", rgba8, "-");
            rgba.release();
        }
    }
    draw.cleanup();
    fbo->release();
    context.doneCurrent();
    bench::printNote(("Frame = DiceRenderer::render into a " + colour
        + " framebuffer object + glFinish, "
          "timed on the wall clock, no read-back; GL renderer: "
        + renderer)
                         .toStdString());
    return 0;
}

/// Frames of the real DiceView on screen: from the update request to the swap.
int screenFrames(int count)
{
    dice3d::DiceScene scene;
    if (!loadDice(scene))
        throw std::runtime_error("die model not loaded");
    QWidget window;
    window.setFixedSize(150, 425);
    auto *view = new dice3d::DiceView(scene, &window);
    view->setGeometry(0, 0, 150, 425);
    window.show();
    auto *gl = qobject_cast<dice3d::DiceGLWindow *>(view->glWindow());
    if (!gl)
        throw std::runtime_error("the view has no DiceGLWindow");

    dice3d::RollAnimation animation;
    animation.fillFaceTable();
    dice3d::RollAnimation::PerDie<bool> held {};
    dice3d::RollAnimation::PerDie<std::uint8_t> values { 0, 1, 2, 3, 5, 6 };
    animation.startRoll(held);

    std::vector<double> costs;
    long long requested = 0;
    int frame = -50;
    QEventLoop loop;
    auto next = [&] {
        animation.step(2, held, values);
        requested = monotonicNs();
        showAngles(scene, animation); // the scene asks the view for a redraw
    };
    QObject::connect(gl, &dice3d::DiceGLWindow::frameSwapped, &loop, [&] {
        if (requested == 0)
            return;
        if (frame >= 0)
            costs.push_back(ms(monotonicNs() - requested));
        if (++frame >= count) {
            loop.quit();
            return;
        }
        QTimer::singleShot(0, next);
    });
    QTimer::singleShot(500, next);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    bench::printRow("Dice view on screen, rolling: change to frame swapped",
        bench::quantile(costs, 0.5), bench::quantile(costs, 0.5), bench::quantile(costs, 0.99),
        "ms", "p50/p99", costs.size(), "-");
    return 0;
}

/// The dice view's first frame in a fresh process: from show() to the first
/// swap, with or without its context prepared ahead on a worker thread.
int firstFrame(bool warmUp)
{
    dice3d::DiceScene scene;
    if (!loadDice(scene))
        throw std::runtime_error("die model not loaded");
    // GL is loaded and initialised first, as the backdrop has done by the time
    // a game starts.
    {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.create();
        context.create();
        context.makeCurrent(&surface);
        context.doneCurrent();
    }
    long long warm = 0;
    if (warmUp) {
        // As while the player types the names: the context is prepared on a
        // worker; the user-interface thread is held up only by starting it.
        const long long t0 = monotonicNs();
        dice3d::DiceGLWindow::prepareAhead();
        warm = monotonicNs() - t0;
        QThread::msleep(1500);
    }
    QWidget window;
    window.setFixedSize(150, 425);
    auto *view = new dice3d::DiceView(scene, &window);
    view->setGeometry(0, 0, 150, 425);
    auto *gl = qobject_cast<dice3d::DiceGLWindow *>(view->glWindow());
    long long swapped = 0;
    QEventLoop loop;
    QObject::connect(gl, &dice3d::DiceGLWindow::frameSwapped, &loop, [&] {
        if (!swapped)
            swapped = monotonicNs();
        loop.quit();
    });
    const long long shown = monotonicNs();
    window.show();
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("F\t%.3f\t%.3f\n", ms(swapped - shown), ms(warm));
    return 0;
}

int firstFrames(const char *self, int runs)
{
    for (const bool warmUp : { false, true }) {
        std::vector<double> frame, warm;
        for (int run = 0; run < runs; ++run) {
            const std::string command
                = std::string("'") + self + "' first-frame-once" + (warmUp ? " --warm" : "");
            FILE *pipe = popen(command.c_str(), "r");
            if (!pipe)
                throw std::runtime_error("popen failed");
            double f = 0, w = 0;
            char line[256];
            while (std::fgets(line, sizeof line, pipe)) {
                if (std::sscanf(line, "F\t%lf\t%lf", &f, &w) == 2) {
                    frame.push_back(f);
                    warm.push_back(w);
                }
            }
            pclose(pipe);
        }
        bench::printRunsRow(std::string("Dice view first frame, show to swap")
                + (warmUp ? ", context prepared ahead (DiceGLWindow::prepareAhead)" : ""),
            frame, "ms", "-");
        if (warmUp)
            bench::printRunsRow(
                "  user-interface thread time to start the preparation", warm, "ms", "-");
    }
    return 0;
}

// --- ticks -------------------------------------------------------------------

int ticks(int count)
{
    bench::TimedSoundLibrary sound(platform::createOpenAlSoundLibrary());
    const bool withSound = sound.BASS_Init(-1, 44100, 0, nullptr) != 0;
    sound.BASS_Start();
    SteppingClock clock;
    game::TfrmDorvel20Game table(sound, platform::systemResourceLoader(), clock);
    table.soundAvailable = withSound;
    table.soundOn = withSound;
    table.playerCount = 1;
    table.loadGameSounds();
    table.clearScoreSheet();
    table.show();

    std::vector<long long> at;
    std::vector<double> handler;
    at.reserve(static_cast<std::size_t>(count) + 1);
    int framesAtStart = 0;
    QEventLoop loop;
    auto original = table.AsyncTimer1.OnTimer;
    table.AsyncTimer1.OnTimer = [&](dice3d::TAsyncTimer *sender) {
        const long long now = monotonicNs();
        if (at.empty())
            framesAtStart = table.GLSceneViewer1->framesDrawn();
        at.push_back(now);
        original(sender);
        handler.push_back(ms(monotonicNs() - now));
        if (static_cast<int>(at.size()) > count) {
            sender->setEnabled(false);
            loop.quit();
        }
    };
    const long long cpu0 = bench::processCpuNs();
    QTimer::singleShot(300, [&] { table.nextTurn(); }); // the turn starts rolling at once
    QTimer::singleShot(count * 10 + 30000, &loop, &QEventLoop::quit);
    loop.exec();
    const long long cpu1 = bench::processCpuNs();
    const int frames = table.GLSceneViewer1->framesDrawn() - framesAtStart;
    table.AsyncTimer1.setEnabled(false);
    table.close();

    if (at.size() < 2)
        throw std::runtime_error("no ticks");
    std::vector<double> intervals;
    for (std::size_t i = 1; i < at.size(); ++i)
        intervals.push_back(ms(at[i] - at[i - 1]));
    const double span = ms(at.back() - at.front());
    const double nominal = 10.0 * static_cast<double>(intervals.size());
    bench::printRow("Tick interval while rolling", bench::quantile(intervals, 0.5),
        bench::quantile(intervals, 0.5), bench::quantile(intervals, 0.99), "ms", "p50/p99",
        intervals.size(), "10 +-0.2 / p99 <= 12");
    bench::printValueRow("  largest tick interval", bench::maximum(intervals), "ms", "-");
    bench::printValueRow("  drift over " + std::to_string(intervals.size()) + " ticks",
        100.0 * (span - nominal) / nominal, "%", "<= 0.5");
    bench::printRow("  tick handler run time", bench::quantile(handler, 0.5),
        bench::quantile(handler, 0.5), bench::quantile(handler, 0.99), "ms", "p50/p99",
        handler.size(), "-");
    bench::printValueRow("  dice frames drawn per tick",
        static_cast<double>(frames) / static_cast<double>(intervals.size()), "", "1");
    bench::printValueRow("  CPU while rolling (whole process)",
        100.0 * static_cast<double>(cpu1 - cpu0) / 1e6 / (span + 300.0), "%", "-");

    // Control: the same timer with an empty handler and no view, so the timer's
    // own accuracy shows apart from the drawing.
    dice3d::TAsyncTimer bare;
    bare.setInterval(10);
    std::vector<long long> bareAt;
    QEventLoop bareLoop;
    bare.OnTimer = [&](dice3d::TAsyncTimer *sender) {
        bareAt.push_back(monotonicNs());
        if (static_cast<int>(bareAt.size()) > count) {
            sender->setEnabled(false);
            bareLoop.quit();
        }
    };
    bare.setEnabled(true);
    QTimer::singleShot(count * 10 + 30000, &bareLoop, &QEventLoop::quit);
    bareLoop.exec();
    std::vector<double> bareIntervals;
    for (std::size_t i = 1; i < bareAt.size(); ++i)
        bareIntervals.push_back(ms(bareAt[i] - bareAt[i - 1]));
    if (!bareIntervals.empty()) {
        const double bareNominal = 10.0 * static_cast<double>(bareIntervals.size());
        bench::printRow("  control: timer alone, no drawing", bench::quantile(bareIntervals, 0.5),
            bench::quantile(bareIntervals, 0.5), bench::quantile(bareIntervals, 0.99), "ms",
            "p50/p99", bareIntervals.size(), "-");
        bench::printValueRow(
            "  control: largest interval", bench::maximum(bareIntervals), "ms", "-");
        bench::printValueRow("  control: drift",
            100.0 * (ms(bareAt.back() - bareAt.front()) - bareNominal) / bareNominal, "%", "-");
    }
    return 0;
}

// --- the sound layer at rest --------------------------------------------------

long long residentKb()
{
    std::FILE *file = std::fopen("/proc/self/status", "r");
    if (!file)
        return -1;
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, file)) {
        if (std::sscanf(line, "VmRSS: %lld kB", &kb) == 1)
            break;
    }
    std::fclose(file);
    return kb;
}

/// What the sound layer costs while nothing plays: memory of the music sample,
/// and CPU over a few seconds with the output device running and paused.
int soundAtRest(int seconds)
{
    auto sound = platform::createOpenAlSoundLibrary();
    const long long rss0 = residentKb();
    if (sound->BASS_Init(-1, 44100, 0, nullptr) == 0)
        throw std::runtime_error("no sound device (set ALSOFT_DRIVERS=null)");
    sound->BASS_Start();
    const long long rss1 = residentKb();
    const platform::ResourceModule *module
        = platform::systemResourceLoader().loadLibrary(platform::kResourceLibraryName);
    auto music = platform::openResource(module, 117);
    if (!music)
        throw std::runtime_error("no music resource");
    const long long cpuLoad = bench::processCpuNs();
    const long long wallLoad = monotonicNs();
    const platform::HSAMPLE sample = sound->BASS_SampleLoad(1, music->memory(), 0,
        static_cast<std::uint32_t>(music->size()), 3, platform::BASS_SAMPLE_LOOP);
    const double loadWall = ms(monotonicNs() - wallLoad);
    const double loadCpu = ms(bench::processCpuNs() - cpuLoad);
    // The music plays for 3 s with the event loop running, as on the start
    // screen (decoding in the background or while it plays); memory is read
    // while it plays.
    auto runEvents = [](int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    };
    const long long cpuDecode = bench::processCpuNs();
    sound->BASS_SamplePlay(sample);
    runEvents(3000);
    const double decodeCpu = ms(bench::processCpuNs() - cpuDecode);
    const long long rss2 = residentKb();
    sound->BASS_SampleStop(sample);

    auto idleCpu = [&] {
        const long long cpu0 = bench::processCpuNs();
        const long long t0 = monotonicNs();
        QThread::sleep(static_cast<unsigned long>(seconds));
        return 100.0 * static_cast<double>(bench::processCpuNs() - cpu0)
            / static_cast<double>(monotonicNs() - t0);
    };
    const double running = idleCpu(); // no event loop runs: the idle pause cannot come
    runEvents(platform::OpenAlSoundLibrary::kIdleCheckMs + 500);
    const double paused = idleCpu();
    sound->BASS_SampleFree(sample);
    sound->BASS_Free();

    bench::printValueRow("Sound: BASS_SampleLoad of the 64 s Ogg music, wall", loadWall, "ms", "-");
    bench::printValueRow("  CPU of that call", loadCpu, "ms", "-");
    bench::printValueRow(
        "  CPU of its first 3 s of playing (decoding included)", decodeCpu, "ms", "-");
    bench::printValueRow("  resident memory added by the output device",
        static_cast<double>(rss1 - rss0) / 1024.0, "MB", "-");
    bench::printValueRow("  resident memory added by the music sample, playing",
        static_cast<double>(rss2 - rss1) / 1024.0, "MB", "-");
    bench::printValueRow("Sound idle CPU, nothing playing, device kept running", running, "%", "-");
    bench::printValueRow(
        "Sound idle CPU, nothing playing, after the idle pause", paused, "%", "<= 0.05");
    return 0;
}

// --- a whole game ----------------------------------------------------------

/// Plays one game of one player: each turn one roll (50 ticks), stop, settle,
/// then the free row that scores most. Ticks come from the real timer, or
/// `direct`ly by calling the tick handler and then running the event loop until
/// the view has drawn the frame that tick asked for (no waiting for the 10 ms).
int wholeGame(bool direct)
{
    bench::TimedSoundLibrary sound(platform::createOpenAlSoundLibrary());
    const bool withSound = sound.BASS_Init(-1, 44100, 0, nullptr) != 0;
    sound.BASS_Start();
    SteppingClock clock;

    const long long cpu0 = bench::processCpuNs();
    const long long wall0 = monotonicNs();
    long long cpuAtHighscore = 0;
    long long wallAtHighscore = 0;
    int ticksRun = 0;
    int turns = 0;

    auto table
        = std::make_unique<game::TfrmDorvel20Game>(sound, platform::systemResourceLoader(), clock);
    table->soundAvailable = withSound;
    table->soundOn = withSound;
    table->playerCount = 1;
    table->loadGameSounds();
    table->clearScoreSheet();
    table->show();

    auto original = table->AsyncTimer1.OnTimer;
    int rollingTicks = 0;
    table->AsyncTimer1.OnTimer = [&](dice3d::TAsyncTimer *sender) {
        ++ticksRun;
        ++rollingTicks;
        original(sender);
    };
    if (direct)
        table->AsyncTimer1.OnTimer = nullptr; // the real timer's ticks do nothing
    // Wakes the event loop now and then, so that waiting for a frame that never
    // comes (a tick that changed nothing) ends.
    QTimer wakeUp;
    if (direct)
        wakeUp.start(20);

    auto tick = [&] {
        if (direct) {
            ++ticksRun;
            const int before = table->GLSceneViewer1->framesDrawn();
            table->AsyncTimer1Timer(&table->AsyncTimer1);
            // Then the frame the tick asked for, as in the game: one per tick.
            QDeadlineTimer patience(200);
            while (table->GLSceneViewer1->framesDrawn() == before && !patience.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } else {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };

    // The high-score window: note when it is up and painted, then leave.
    FirstEventStamp stamps;
    qApp->installEventFilter(&stamps);
    stamps.onFirst = [&](QObject *watched, QEvent *event) {
        if (watched->objectName() == QLatin1String("frmHighscore")
            && event->type() == QEvent::Paint) {
            QTimer::singleShot(0, [&] {
                cpuAtHighscore = bench::processCpuNs();
                wallAtHighscore = monotonicNs();
                if (auto *highscore = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                    if (auto *leave
                        = highscore->findChild<QPushButton *>(QStringLiteral("btnBeenden")))
                        leave->click();
                    else
                        highscore->reject();
                }
            });
        }
    };

    table->nextTurn();
    while (table->isVisible() && turns < 20) {
        ++turns;
        rollingTicks = 0;
        if (direct) {
            for (int i = 0; i < 50; ++i)
                tick();
        } else {
            while (rollingTicks < 50)
                tick();
        }
        table->btnWuerfelnClick(); // "Stop !!!"
        while (table->GameState != game::TfrmDorvel20Game::kSettled)
            tick();
        // The free row that scores most for these dice.
        int bestRow = 0;
        int bestScore = -1;
        for (int r = 1; r <= 13; ++r) {
            if (table->scores[1][static_cast<std::size_t>(r)] != 0)
                continue;
            const auto *cell = table->findChild<QLabel *>(QStringLiteral("lblSpieler1_%1").arg(r));
            if (cell && !cell->text().isEmpty())
                continue;
            int score = 0;
            if (r <= 6)
                score = table->scoreUpper(r);
            else if (r == 7)
                score = table->scoreThreeOfAKind();
            else if (r == 8)
                score = table->scoreFourOfAKind();
            else if (r == 9)
                score = table->scoreFullHouse();
            else if (r == 10)
                score = table->scoreSmallStraight();
            else if (r == 11)
                score = table->scoreLargeStraight();
            else if (r == 12)
                score = table->isFiveOfAKind() ? 50 : 0;
            else
                score = table->scoreChance();
            if (score > bestScore) {
                bestScore = score;
                bestRow = r;
            }
        }
        auto *row = table->findChild<game::TagLabel *>(QStringLiteral("Label%1").arg(bestRow));
        if (!row)
            throw std::runtime_error("row label not found");
        table->DorvlKategoMove(row);
        table->DorvlKategoDown(row, Qt::LeftButton); // the last one opens the high-score window
        QCoreApplication::processEvents();
    }
    const int frames = table->GLSceneViewer1 ? table->GLSceneViewer1->framesDrawn() : 0;
    const int total = table->sums[1][5];
    table.reset();
    if (!cpuAtHighscore)
        throw std::runtime_error("the high-score window was not reached");

    const std::string how = direct ? "tick handler called directly" : "real 10 ms timer";
    bench::printValueRow("Whole game CPU (" + how + ")", ms(cpuAtHighscore - cpu0), "ms", "-");
    bench::printValueRow("  wall time", ms(wallAtHighscore - wall0), "ms", "-");
    bench::printNote("Whole game (" + how + "): " + std::to_string(turns) + " turns, "
        + std::to_string(ticksRun) + " ticks, " + std::to_string(frames)
        + " dice frames, grand total " + std::to_string(total) + " points");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr,
            "usage: bench_inproc startup|frame|first-frame|screen-frames|ticks|sound|game [--runs "
            "N]\n");
        return 2;
    }
    const std::string mode = argv[1];
    int number = 0;
    for (int i = 2; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" || arg == "--frames" || arg == "--ticks" || arg == "--seconds")
            number = std::stoi(argv[i + 1]);
        if (arg == "--label")
            bench::rowSuffix() = " (" + std::string(argv[i + 1]) + ")";
    }
    std::string self = argv[0];
    if (self.find('/') != std::string::npos && self.front() != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            self = std::string(cwd) + "/" + self;
    }
    struct Scratch
    {
        std::string folder = enterScratchFolder();
        ~Scratch() { leaveScratchFolder(folder); }
    } scratch;
    try {
        if (mode == "startup-once")
            return startupOnce(argc, argv);
        if (mode == "startup")
            return startup(self.c_str(), number > 0 ? number : 5);

        QApplication application(argc, argv);
        platform::registerFonts();
        if (mode == "frame")
            return frames(number > 0 ? number : 1000);
        if (mode == "first-frame-once")
            return firstFrame(argc > 2 && std::string(argv[2]) == "--warm");
        if (mode == "first-frame")
            return firstFrames(self.c_str(), number > 0 ? number : 5);
        if (mode == "screen-frames")
            return screenFrames(number > 0 ? number : 1000);
        if (mode == "sound")
            return soundAtRest(number > 0 ? number : 5);
        if (mode == "ticks")
            return ticks(number > 0 ? number : 1000);
        if (mode == "game") {
            wholeGame(true);
            return wholeGame(false);
        }
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_inproc: %s\n", error.what());
        return 1;
    }
}
