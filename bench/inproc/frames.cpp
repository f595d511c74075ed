// The dice view's frames: off screen, on screen, and the first one.
#include "Harness.h"
#include "Scenarios.h"

#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceRenderer.h"
#include "dice3d/DiceScene.h"
#include "dice3d/DiceView.h"
#include "dice3d/RollAnimation.h"
#include "resources/ResourceLibrary.h"

#include <QEventLoop>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace inproc {

namespace {

    /// Loads the die model into the five dice, as the game table does.
    bool loadDice(dice3d::DiceScene &scene)
    {
        const resources::ResourceModule *module
            = resources::systemResourceLoader().loadLibrary(resources::kResourceLibraryName);
        auto stream = resources::openResource(module, 105);
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

} // namespace

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
                animation.step(dice3d::kRolling, held, values);
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
        animation.step(dice3d::kRolling, held, values);
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

} // namespace inproc
