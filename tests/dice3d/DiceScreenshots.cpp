// Renders the dice view into PNG files for the documentation: the dice at rest
// on several throws, two dice held, and a moment of a roll.
//
// Usage: dice_screenshots <out dir>   (needs a display; run it under xvfb-run)
//        dice_screenshots --bench     prints the time of one off-screen frame and one pick
#include "DiceTestSupport.h"

#include "dice3d/DiceView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>

#include <cstdio>
#include <cstring>

using namespace dorvel::dice3d;
using namespace dorvel::dice3d::testing;

namespace {

void throwDice(DiceScene &scene, std::array<int, 5> values)
{
    for (int n = 1; n <= 5; ++n)
        showValue(scene.die(n), values[static_cast<std::size_t>(n - 1)]);
}

void hold(DiceScene &scene, int n, bool held)
{
    scene.die(n).setPositionZ(held ? -4.0f : 0.5f);
    scene.die(n).setLibMaterialName(held ? QStringLiteral("wuerfel2") : QStringLiteral("wuerfel"));
}

int bench()
{
    DiceScene scene;
    loadDice(scene);
    DiceView view(scene);
    view.resize(150, 425);
    throwDice(scene, { 1, 2, 3, 4, 5 });
    view.renderToImage(); // context and textures
    QElapsedTimer timer;
    constexpr int frames = 200;
    timer.start();
    for (int i = 0; i < frames; ++i) {
        scene.die(1 + i % 5).setPitchAngle(static_cast<float>(5 * i % 360 - 180));
        view.renderToImage();
    }
    const double frameMs = static_cast<double>(timer.nsecsElapsed()) / 1e6 / frames;
    constexpr int picks = 2000;
    int hits = 0;
    timer.restart();
    for (int i = 0; i < picks; ++i)
        hits += view.pick(i % 150, (i * 7) % 425) != nullptr;
    const double pickMs = static_cast<double>(timer.nsecsElapsed()) / 1e6 / picks;
    std::printf("off-screen frame incl. read-back: %.2f ms; pick: %.3f ms (%d hits)\n", frameMs,
        pickMs, hits);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--bench") == 0)
        return bench();
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out dir>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    DiceScene scene;
    loadDice(scene);
    DiceView view(scene);
    view.resize(150, 425);

    struct Shot
    {
        const char *name;
        QImage image;
    };
    std::vector<Shot> shots;
    const std::array<std::array<int, 5>, 5> throws { { { 1, 2, 3, 4, 5 }, { 6, 5, 4, 3, 2 },
        { 3, 6, 2, 6, 1 }, { 5, 5, 4, 5, 2 }, { 6, 6, 6, 6, 6 } } };
    for (std::size_t i = 0; i < throws.size(); ++i) {
        throwDice(scene, throws[i]);
        shots.push_back({ "rest", view.renderToImage() });
    }
    throwDice(scene, { 2, 4, 4, 1, 6 });
    hold(scene, 2, true);
    hold(scene, 3, true);
    const QImage held = view.renderToImage();
    hold(scene, 2, false);
    hold(scene, 3, false);
    // In the middle of a roll: the free dice at various pitches and turns.
    for (int n = 1; n <= 5; ++n) {
        DieActor &die = scene.die(n);
        die.setTurnAngle(0);
        die.setPitchAngle(0);
        die.setPitchAngle(static_cast<float>(-160 + 65 * n));
        die.setTurnAngle(static_cast<float>(25 * n - 60));
    }
    const QImage rolling = view.renderToImage();

    // The same moment as the X server shows it: the view on screen, grabbed
    // from the screen after its first frames.
    view.move(0, 0);
    view.show();
    QElapsedTimer waited;
    waited.start();
    while (view.framesDrawn() < 2 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QImage onScreen = view.screen()->grabWindow(0, view.x(), view.y(), 150, 425).toImage();

    bool ok = true;
    // The five throws side by side, and each special view on its own.
    QImage rest(5 * 150 + 4 * 10, 425, QImage::Format_RGB32);
    rest.fill(QColor(40, 40, 40));
    {
        QPainter painter(&rest);
        for (std::size_t i = 0; i < shots.size(); ++i)
            painter.drawImage(static_cast<int>(i) * 160, 0, shots[i].image);
    }
    ok &= rest.save(out.filePath(QStringLiteral("dice-rest.png")));
    ok &= held.save(out.filePath(QStringLiteral("dice-held.png")));
    ok &= rolling.save(out.filePath(QStringLiteral("dice-rolling.png")));
    ok &= onScreen.save(out.filePath(QStringLiteral("dice-onscreen.png")));
    if (!ok || held.isNull())
        std::fprintf(stderr, "cannot render or write the screenshots\n");
    return ok && !held.isNull() ? 0 : 1;
}
