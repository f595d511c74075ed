// Picking by view pixel against the real die model: each die is hit where it
// is drawn, the marble between them gives the slab, and where a free and a
// held die overlap the nearer, free die wins.
#include "DiceTestSupport.h"

#include "dice3d/DiceScene.h"
#include "dice3d/Picking.h"
#include "dice3d/Projection.h"

#include <QPoint>
#include <gtest/gtest.h>

#include <cmath>

using namespace dorvel::dice3d;
using namespace dorvel::dice3d::testing;

namespace {

SceneObject *pickAt(DiceScene &scene, QPoint p)
{
    return picking::pick(scene, kWidth, kHeight, p.x(), p.y());
}

} // namespace

TEST(Picking, HitsEachDieAndTheSlabBetweenThem)
{
    DiceScene scene;
    loadDice(scene);
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        const QPoint centre = pixelOf(scene, scene.die(n).Position());
        SceneObject *hit = pickAt(scene, centre);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->Tag(), n);
        EXPECT_EQ(hit->Name(), QStringLiteral("actWuerfel%1").arg(n));
        // Die 1 is the lowest on screen.
        if (n > 1) {
            EXPECT_LT(centre.y(), pixelOf(scene, scene.die(n - 1).Position()).y());
        }
        // Half-way to the next die up there is only marble.
        if (n < 5) {
            const QPoint between
                = pixelOf(scene, Vector3 { 0, scene.die(n).Position().y + 0.5f, 0.5f });
            SceneObject *gap = pickAt(scene, between);
            ASSERT_NE(gap, nullptr);
            EXPECT_EQ(gap->Tag(), 0);
            EXPECT_EQ(gap->Name(), QStringLiteral("Plane1"));
        }
    }
    // Beside the dice and in the corners: the slab fills the whole view.
    for (const QPoint p : { QPoint(5, 212), QPoint(145, 212), QPoint(0, 0), QPoint(149, 424) })
        EXPECT_EQ(pickAt(scene, p), &scene.plane()) << p.x() << "," << p.y();
}

TEST(Picking, UsesTheDrawnShapeNotABox)
{
    DiceScene scene;
    loadDice(scene);
    DieActor &die = scene.die(3);
    // Turned 45° about the view axis a die shows a corner where the square's
    // edge midpoint used to be, and marble where its corner was.
    die.setRollAngle(45);
    const float half = 0.63f / 2;
    EXPECT_EQ(pickAt(scene, pixelOf(scene, Vector3 { 0, half * 1.3f, 0.5f })), &die);
    EXPECT_EQ(pickAt(scene, pixelOf(scene, Vector3 { half * 0.95f, half * 0.95f, 0.5f })),
        &scene.plane());
    // Without a model a die is not there at all.
    die.setMesh(nullptr);
    EXPECT_EQ(pickAt(scene, pixelOf(scene, die.Position())), &scene.plane());
}

TEST(Picking, NearerFreeDieWinsOverAHeldOne)
{
    DiceScene scene;
    loadDice(scene);
    // Die 5 held (far back), die 4 free and standing on a corner so that it
    // reaches up over the held die's lower edge.
    scene.die(5).setPositionZ(-4);
    scene.die(4).setPitchAngle(45);
    scene.die(4).setTurnAngle(35);
    int overlaps = 0;
    const int top = pixelOf(scene, scene.die(5).Position()).y();
    const int bottom = pixelOf(scene, scene.die(4).Position()).y();
    for (int y = top; y <= bottom; ++y) {
        for (int x = 60; x < 90; x += 2) {
            SceneObject *hit = pickAt(scene, { x, y });
            ASSERT_NE(hit, nullptr);
            // Where both are drawn in the box, the free die is the answer.
            scene.die(4).setPositionZ(-100); // out of the way: what lies behind?
            const bool heldThere = pickAt(scene, { x, y }) == &scene.die(5);
            scene.die(4).setPositionZ(0.5f);
            if (heldThere && hit != &scene.die(5)) {
                EXPECT_EQ(hit, &scene.die(4)) << x << "," << y;
                ++overlaps;
            }
        }
    }
    EXPECT_GT(overlaps, 0) << "the dice were expected to overlap somewhere";
    // The held die is still picked where it shows alone.
    EXPECT_EQ(pickAt(scene, pixelOf(scene, Vector3 { 0, 2.1f, -4 })), &scene.die(5));
}

TEST(Picking, NothingOutsideTheView)
{
    // The slab reaches beyond the view's edges, but only what is drawn counts.
    DiceScene scene;
    loadDice(scene);
    EXPECT_EQ(picking::pick(scene, kWidth, kHeight, -10, 200), nullptr);
    EXPECT_EQ(picking::pick(scene, kWidth, kHeight, 75, 500), nullptr);
    EXPECT_EQ(picking::pick(scene, kWidth, kHeight, 151, 200), nullptr);
    EXPECT_EQ(picking::pick(scene, kWidth, kHeight, 150, 200), &scene.plane()); // box reaches 149
    EXPECT_EQ(picking::pick(scene, 0, 0, 0, 0), nullptr);
}
