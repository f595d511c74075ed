// The dice view on a real X display: its GL matrices are the ones picking uses,
// its GL state (culling, decal textures, their filters) reads back as set,
// it draws every die where expected showing the thrown face, held dice smaller
// and grey, picking agrees with the drawn pixels, scene changes coalesce into
// one redraw, mouse presses come out as mouseDown in view pixels, and a context
// prepared ahead, taken over or failed, changes nothing on the screen.
#include "DiceTestSupport.h"

#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceRenderer.h"
#include "dice3d/DiceView.h"
#include "dice3d/Picking.h"
#include "dice3d/Projection.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string_view>

using namespace dorvel::dice3d;
using namespace dorvel::dice3d::testing;

namespace {

void expectSameMatrix(const double *gl, const Matrix4 &ours)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(gl[i], ours.m[static_cast<std::size_t>(i)], 1e-5 * (1.0 + std::abs(gl[i])))
            << i;
}

struct Blob
{
    int size = 0;
    double x = 0;
    double y = 0; // centroid relative to the search centre, y down
};

// The pips of the die face around `centre`: connected dark areas.
std::vector<Blob> pipsAround(const QImage &image, QPoint centre, int radius = 16)
{
    const int side = 2 * radius + 1;
    std::vector<int> label(static_cast<std::size_t>(side * side), -1);
    const auto dark = [&](int dx, int dy) {
        const QRgb p = image.pixel(centre.x() + dx, centre.y() + dy);
        return 0.3 * qRed(p) + 0.59 * qGreen(p) + 0.11 * qBlue(p) < 60.0;
    };
    std::vector<Blob> blobs;
    for (int sy = -radius; sy <= radius; ++sy) {
        for (int sx = -radius; sx <= radius; ++sx) {
            const auto at = [&](int x, int y) -> int & {
                return label[static_cast<std::size_t>((y + radius) * side + x + radius)];
            };
            if (at(sx, sy) >= 0 || !dark(sx, sy))
                continue;
            Blob blob;
            std::vector<QPoint> stack { { sx, sy } };
            at(sx, sy) = static_cast<int>(blobs.size());
            while (!stack.empty()) {
                const QPoint p = stack.back();
                stack.pop_back();
                ++blob.size;
                blob.x += p.x();
                blob.y += p.y();
                for (const QPoint d :
                    { QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1) }) {
                    const QPoint q = p + d;
                    if (std::abs(q.x()) > radius || std::abs(q.y()) > radius
                        || at(q.x(), q.y()) >= 0 || !dark(q.x(), q.y()))
                        continue;
                    at(q.x(), q.y()) = static_cast<int>(blobs.size());
                    stack.push_back(q);
                }
            }
            blob.x /= blob.size;
            blob.y /= blob.size;
            if (blob.size >= 4)
                blobs.push_back(blob);
        }
    }
    return blobs;
}

// The mean difference per colour channel of two view-sized pictures (255 for a
// picture of another size).
double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != QSize(kWidth, kHeight) || b.size() != a.size())
        return 255;
    double difference = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            difference += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return difference / (kWidth * kHeight * 3);
}

// How many pixels of two pictures of the same size differ.
int differingPixels(const QImage &a, const QImage &b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return differing;
}

// What a 16-bit surface changes in the drawing of a 24-bit one, at most.
constexpr double kColourDepthDifference = 6.0;

class DiceViewTest : public ::testing::Test
{
protected:
    DiceViewTest()
        : view(scene)
    {
        loadDice(scene);
        view.resize(kWidth, kHeight);
    }
    void hold(int n)
    {
        scene.die(n).setPositionZ(-4);
        scene.die(n).setLibMaterialName(QStringLiteral("wuerfel2"));
    }

    DiceScene scene;
    DiceView view;
};

} // namespace

TEST(DiceGL, PickingUsesTheMatricesGLBuildsAndTheDrawingStateIsSet)
{
    QOpenGLContext context;
    ASSERT_TRUE(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(context.makeCurrent(&surface));

    const Camera camera;
    const Projection p = Projection::forView(camera, kWidth, kHeight);
    double gl[16];
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(p.left, p.right, p.bottom, p.top, p.nearPlane, p.farPlane);
    glGetDoublev(GL_PROJECTION_MATRIX, gl);
    expectSameMatrix(gl, p.matrix());

    GLint viewport[4] = { 0, 0, kWidth, kHeight };
    glLoadIdentity();
    gluPickMatrix(40, 300, 2, 2, viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, gl);
    expectSameMatrix(gl, pickMatrix(40, 300, 2, 2, kWidth, kHeight));

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 25, 0, 0, 24, 0, 1, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, gl);
    expectSameMatrix(gl, viewMatrix(camera));

    // The state the view draws with, read back: back faces culled, decal
    // textures, each of them mipmapped and filtered linearly.
    DiceScene scene;
    loadDice(scene);
    DiceRenderer renderer;
    renderer.render(scene, kWidth, kHeight, DiceRenderer::Mode::Textured);
    GLint cull = 0, decal = 0, textures = 0, minFilter = 0, magFilter = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cull);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &decal);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && cull == GL_BACK && decal == GL_DECAL);
    for (GLuint name = 1; name < 64; ++name) {
        if (!glIsTexture(name))
            continue;
        ++textures;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_TRUE(minFilter == GL_LINEAR_MIPMAP_LINEAR && magFilter == GL_LINEAR) << name;
    }
    EXPECT_EQ(textures, 3) << "die, held die, marble";
    renderer.cleanup();
    context.doneCurrent();
}

TEST_F(DiceViewTest, EachDieShowsTheThrownFaceAtItsPlace)
{
    view.setObjectName(QStringLiteral("GLSceneViewer1"));
    for (int value = 1; value <= 6; ++value) {
        SCOPED_TRACE(value);
        for (int n = 1; n <= 5; ++n)
            showValue(scene.die(n), value);
        const QImage image = view.renderToImage();
        ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
        for (int n = 1; n <= 5; ++n) {
            SCOPED_TRACE(n);
            const std::vector<Blob> pips
                = pipsAround(image, pixelOf(scene, scene.die(n).Position()));
            ASSERT_EQ(static_cast<int>(pips.size()), value);
            // The patterns' orientation: the 2 and 3 run from top left to bottom
            // right, the 6 lies in two rows of three.
            std::vector<Blob> sorted = pips;
            std::sort(sorted.begin(), sorted.end(),
                [](const Blob &a, const Blob &b) { return a.x < b.x; });
            if (value == 2 || value == 3) {
                for (std::size_t i = 1; i < sorted.size(); ++i) {
                    EXPECT_GT(sorted[i].x - sorted[i - 1].x, 6.0);
                    EXPECT_GT(sorted[i].y - sorted[i - 1].y, 6.0);
                }
            }
            if (value == 6) {
                std::vector<double> ys;
                for (const Blob &b : pips)
                    ys.push_back(b.y);
                std::sort(ys.begin(), ys.end());
                EXPECT_LT(ys[2] - ys[0], 2.5);
                EXPECT_GT(ys[3] - ys[2], 12.0);
                EXPECT_LT(ys[5] - ys[3], 2.5);
                EXPECT_GT(sorted[2].x - sorted[1].x, 6.0);
                EXPECT_GT(sorted[4].x - sorted[3].x, 6.0);
            }
        }
    }
}

TEST_F(DiceViewTest, WoodenDiceOnMarbleAndHeldDiceSmallerAndGrey)
{
    for (int n = 1; n <= 5; ++n)
        showValue(scene.die(n), 4);
    hold(3);
    const QImage image = view.renderToImage();
    const QImage ids = view.renderObjectIds();
    ASSERT_FALSE(image.isNull());
    ASSERT_FALSE(ids.isNull());

    std::map<QRgb, int> area;
    std::map<QRgb, double> warmth; // mean red minus blue of the drawn pixels
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QRgb id = ids.pixel(x, y) & 0xFFFFFF;
            const QRgb p = image.pixel(x, y);
            ++area[id];
            warmth[id] += qRed(p) - qBlue(p);
            // The slab fills the view: nothing is left black.
            if (id == DiceRenderer::objectIdColour(5)) {
                ASSERT_GT(qRed(p) + qGreen(p) + qBlue(p), 60) << x << "," << y;
            }
        }
    }
    const auto idOf = [](int index) { return DiceRenderer::objectIdColour(index); };
    ASSERT_EQ(area.size(), 6u) << "five dice and the slab";
    const int free = area[idOf(1)];
    const int held = area[idOf(2)];
    // Seen from 29 instead of 24.5 units away: (24.5 / 29)² of the area.
    EXPECT_NEAR(static_cast<double>(held) / free, 0.714, 0.05);
    EXPECT_GT(warmth[idOf(1)] / free, 40.0) << "free dice are golden brown";
    EXPECT_LT(std::abs(warmth[idOf(2)] / held), 12.0) << "held dice are grey";
    EXPECT_LT(std::abs(warmth[idOf(5)] / area[idOf(5)]), 40.0) << "the marble is grey-brown";
    // The held die still shows its face.
    EXPECT_EQ(pipsAround(image, pixelOf(scene, scene.die(3).Position()), 13).size(), 4u);
}

TEST_F(DiceViewTest, PickingAgreesWithTheDrawnPixels)
{
    for (int n = 1; n <= 5; ++n) {
        scene.die(n).setPitchAngle(static_cast<float>(25 * n));
        scene.die(n).setTurnAngle(static_cast<float>(-40 * n));
    }
    hold(4);
    const QImage ids = view.renderObjectIds();
    ASSERT_FALSE(ids.isNull());
    std::map<QRgb, SceneObject *> byColour;
    int index = 0;
    for (SceneObject *object : scene.objects())
        byColour[DiceRenderer::objectIdColour(index++)] = object;

    int checked = 0;
    const auto uniformAround = [&](int x, int y, QRgb c) {
        for (int dy = -2; dy <= 1; ++dy) {
            for (int dx = -2; dx <= 1; ++dx) {
                if (!ids.valid(x + dx, y + dy) || (ids.pixel(x + dx, y + dy) & 0xFFFFFF) != c)
                    return false;
            }
        }
        return true;
    };
    for (int y = 2; y < kHeight - 1; y += 4) {
        for (int x = 2; x < kWidth - 1; x += 4) {
            // The 2 × 2 box at (x, y) covers the centres of pixels x-1..x,
            // y-1..y; near an outline a sliver of the other object may reach
            // into the box between them, so outlines are left out.
            const QRgb c = ids.pixel(x, y) & 0xFFFFFF;
            if (!uniformAround(x, y, c))
                continue;
            ASSERT_TRUE(byColour.count(c)) << x << "," << y;
            ASSERT_EQ(view.pick(x, y), byColour[c]) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 3000);
}

// Frames drawn with the slab copied from its cache equal, pixel for pixel,
// frames with every object drawn, in the view's 16-bit colour and in 32-bit,
// for dice at rest, turned mid-roll, held and (never in the game) cutting
// through the slab, and after the size changes.
TEST(DiceGL, FramesWithTheCachedSlabEqualFullyDrawnFrames)
{
    QOpenGLContext context;
    context.setFormat(DiceGLWindow::requestedFormat());
    ASSERT_TRUE(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(context.makeCurrent(&surface));

    DiceScene scene;
    loadDice(scene);
    auto pose = [&](int step) {
        for (int n = 1; n <= 5; ++n) {
            showValue(scene.die(n), 1 + (n + step) % 6);
            scene.die(n).setPositionZ(0.5f);
            scene.die(n).setLibMaterialName(QStringLiteral("wuerfel"));
        }
        if (step == 1) { // mid-roll
            for (int n = 1; n <= 5; ++n) {
                scene.die(n).setPitchAngle(static_cast<float>(35 + 10 * n));
                scene.die(n).setTurnAngle(static_cast<float>(-20 * n));
            }
        }
        if (step >= 2) { // two dice held, back toward the slab and grey
            for (int n : { 2, 4 }) {
                scene.die(n).setPositionZ(-4.0f);
                scene.die(n).setLibMaterialName(QStringLiteral("wuerfel2"));
            }
        }
        if (step == 3) // a die cutting through the slab: only depth decides what shows
            scene.die(3).setPositionZ(-6.0f);
    };
    const struct
    {
        const char *name;
        GLenum colour;
    } formats[] = { { "RGB565", 0x8D62 /* GL_RGB565 */ }, { "RGBA8", GL_RGBA8 } };
    const QSize sizes[] = { { kWidth, kHeight }, { 120, 300 } };

    DiceRenderer renderer;
    for (const auto &format : formats) {
        for (const QSize size : sizes) {
            QOpenGLFramebufferObjectFormat fboFormat;
            fboFormat.setAttachment(QOpenGLFramebufferObject::Depth);
            fboFormat.setInternalTextureFormat(format.colour);
            QOpenGLFramebufferObject cached(size, fboFormat);
            QOpenGLFramebufferObject direct(size, fboFormat);
            ASSERT_TRUE(cached.isValid() && direct.isValid());
            for (int step = 0; step < 4; ++step) {
                SCOPED_TRACE(::testing::Message() << format.name << " " << size.width() << "x"
                                                  << size.height() << " pose " << step);
                pose(step);
                ASSERT_TRUE(cached.bind());
                renderer.render(scene, size.width(), size.height(), DiceRenderer::Mode::Textured);
                EXPECT_TRUE(renderer.usesCache());
                ASSERT_TRUE(direct.bind());
                renderer.render(
                    scene, size.width(), size.height(), DiceRenderer::Mode::TexturedDirect);
                direct.release();
                const QImage a = cached.toImage();
                const QImage b = direct.toImage();
                ASSERT_EQ(a.size(), b.size());
                EXPECT_EQ(differingPixels(a, b), 0);
            }
        }
    }
    renderer.cleanup();
    context.doneCurrent();
}

TEST_F(DiceViewTest, OnScreenChangesCoalesceAndPressesAreReported)
{
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.framesDrawn() > 0; }));
    const QImage onScreen = view.grabFramebuffer();
    ASSERT_EQ(onScreen.size(), QSize(kWidth, kHeight));
    // Same drawing; only the colour depth may differ.
    EXPECT_LT(meanDifference(onScreen, view.renderToImage()), kColourDepthDifference);

    // A newly mapped window may be exposed more than once; let that pass.
    for (int drawn = view.framesDrawn();
         QTest::qWaitFor([&] { return view.framesDrawn() != drawn; }, 100);)
        drawn = view.framesDrawn();

    // Ten changes in one handler: one frame, drawn in the event loop's very
    // next pass (a roll tick's frame must not wait for Qt's update delay).
    const int before = view.framesDrawn();
    for (int n = 1; n <= 5; ++n) {
        scene.die(n).setPitchAngle(45);
        scene.die(n).setTurnAngle(30);
    }
    EXPECT_EQ(view.framesDrawn(), before);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.framesDrawn(), before + 1);
    EXPECT_FALSE(QTest::qWaitFor([&] { return view.framesDrawn() > before + 1; }, 100));

    QSignalSpy presses(&view, &DiceView::mouseDown);
    QTest::mouseClick(view.glWindow(), Qt::RightButton, Qt::ShiftModifier, QPoint(20, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return presses.count() == 1; }));
    EXPECT_EQ(presses.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(presses.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(presses.at(0).at(2).toInt(), 20);
    EXPECT_EQ(presses.at(0).at(3).toInt(), 300);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(75, 100));
    ASSERT_EQ(presses.count(), 2);
    EXPECT_EQ(presses.at(1).at(2).toInt(), 75);
    EXPECT_EQ(presses.at(1).at(3).toInt(), 100);
}

// Where the driver can show parts of the back buffer, a roll's frames are
// drawn and shown only where the dice are or were. What the X server shows is
// still the whole frame, pixel for pixel: while the dice spin, after a die is
// held (it shrinks and moves back, leaving slab where its edges were), and
// after a frame drawn whole in between.
TEST_F(DiceViewTest, FramesDrawnOnlyWhereTheDiceMovedShowTheWholeFrame)
{
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.framesDrawn() > 0; }));
    auto *window = qobject_cast<DiceGLWindow *>(view.glWindow());
    ASSERT_NE(window, nullptr);
    const auto shown = [&] {
        const QPoint origin = view.mapToGlobal(QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, origin.x(), origin.y(), kWidth, kHeight)
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const int partialBefore = window->partialFrames();
    for (int tick = 1; tick <= 60; ++tick) {
        if (tick == 31)
            hold(2);
        for (int n = 1; n <= 5; ++n) {
            if (n == 2 && tick > 30)
                continue; // held dice stay put
            scene.die(n).setPitchAngle(static_cast<float>(7 * tick + 40 * n));
            scene.die(n).setTurnAngle(static_cast<float>(-11 * tick + 25 * n));
        }
        QCoreApplication::processEvents(); // the tick's frame
        if (tick % 10 != 0 && tick != 31)
            continue;
        SCOPED_TRACE(tick);
        const QImage onScreen = shown();
        const QImage whole = view.grabFramebuffer(); // the same scene drawn whole
        ASSERT_EQ(onScreen.size(), whole.size());
        EXPECT_EQ(differingPixels(onScreen, whole), 0);
    }
    // On X11 with Mesa's software renderer, as here, the frames were partial.
    ASSERT_NE(window->context(), nullptr);
    const auto *renderer
        = reinterpret_cast<const char *>(window->context()->functions()->glGetString(GL_RENDERER));
    if (QGuiApplication::platformName() == QLatin1String("xcb") && renderer
        && std::string_view(renderer).find("llvmpipe") != std::string_view::npos) {
        EXPECT_GT(window->partialFrames() - partialBefore, 40) << "drawn whole instead";
    }
}

// A context prepared ahead on a worker thread is taken over by the next view,
// whose frames are the same, pixel for pixel, as those of a view that made its
// own context; one nobody takes is dropped cleanly.
TEST_F(DiceViewTest, APreparedContextIsTakenOverAndDrawsTheSameFrames)
{
    if (!QOpenGLContext::supportsThreadedOpenGL())
        GTEST_SKIP() << "no GL on other threads here";
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.framesDrawn() > 0; }));

    DiceGLWindow::prepareAhead();
    ASSERT_TRUE(DiceGLWindow::hasPrepared());
    DiceView second(scene);
    second.resize(kWidth, kHeight);
    second.move(200, 0);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.framesDrawn() > 0; }));
    EXPECT_FALSE(DiceGLWindow::hasPrepared()) << "the second view took the prepared context";

    for (int step = 0; step < 2; ++step) {
        SCOPED_TRACE(step);
        if (step == 1) {
            hold(2);
            scene.die(4).setPitchAngle(45);
        }
        const QImage own = view.grabFramebuffer();
        const QImage taken = second.grabFramebuffer();
        ASSERT_FALSE(own.isNull());
        EXPECT_TRUE(own == taken);
    }

    DiceGLWindow::prepareAhead();
    DiceGLWindow::dropPrepared();
    EXPECT_FALSE(DiceGLWindow::hasPrepared());
}

// A preparation that fails, on the worker or when its context is taken over,
// leaves the next view to make a context of its own: the dice are on the
// screen all the same.
TEST_F(DiceViewTest, AFailedPreparationStillDrawsTheDiceOnScreen)
{
    if (!QOpenGLContext::supportsThreadedOpenGL())
        GTEST_SKIP() << "no GL on other threads here";
    const QImage expected = view.renderToImage();
    // What the X server shows at `origin`. A window that draws nothing leaves
    // what was there before, so each case has a place of its own, where no
    // other test's view has been.
    const auto onScreen = [](QPoint origin) {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, origin.x(), origin.y(), kWidth, kHeight)
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const std::pair<DiceGLWindow::PreparationFault, QPoint> cases[] {
        { DiceGLWindow::PreparationFault::WorkerFails, QPoint(450, 20) },
        { DiceGLWindow::PreparationFault::ContextUnusable, QPoint(620, 120) },
    };
    for (const auto &[fault, origin] : cases) {
        SCOPED_TRACE(static_cast<int>(fault));
        ASSERT_GT(meanDifference(onScreen(origin), expected), kColourDepthDifference)
            << "no dice there before";
        DiceGLWindow::setPreparationFault(fault);
        DiceGLWindow::prepareAhead();
        DiceGLWindow::setPreparationFault(DiceGLWindow::PreparationFault::None);
        ASSERT_TRUE(DiceGLWindow::hasPrepared());

        DiceView next(scene);
        next.resize(kWidth, kHeight);
        next.move(origin);
        next.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
        ASSERT_EQ(next.mapToGlobal(QPoint(0, 0)), origin);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return meanDifference(onScreen(origin), expected) < kColourDepthDifference;
        })) << "mean difference "
            << meanDifference(onScreen(origin), expected);
        EXPECT_FALSE(DiceGLWindow::hasPrepared()) << "the view took the prepared one";
    }
}
