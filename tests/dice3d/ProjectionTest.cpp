// The camera's projection for the 150×425 view: planes, fields of view and
// the visible extents at the depths of the free dice, held dice and slab.
#include "dice3d/Projection.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dorvel::dice3d;

TEST(Projection, PlanesAndFieldsOfViewOfTheDiceView)
{
    const Projection p = Projection::forView(Camera {}, 150, 425);
    EXPECT_NEAR(p.nearPlane, 280.0 * 2 * 96 / (25.4 * 425), 1e-12);
    EXPECT_NEAR(p.nearPlane, 4.980, 0.0005);
    EXPECT_NEAR(p.farPlane, 104.980, 0.0005);
    EXPECT_NEAR(p.right, 150.0 / 850.0, 1e-12);
    EXPECT_NEAR(p.top, 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(p.left, -p.right);
    EXPECT_DOUBLE_EQ(p.bottom, -p.top);
    EXPECT_NEAR(p.verticalFieldOfView(), 11.47, 0.01);
    EXPECT_NEAR(p.horizontalFieldOfView(), 4.06, 0.01);
}

TEST(Projection, VisibleExtentsAtTheDepthsOfTheScene)
{
    const Projection p = Projection::forView(Camera {}, 150, 425);
    struct Case
    {
        double distance, width, height;
    };
    // Free dice (z 0.5), held dice (z -4), slab (z -6).
    for (const Case c :
        { Case { 24.5, 1.74, 4.92 }, Case { 29, 2.06, 5.82 }, Case { 31, 2.20, 6.22 } }) {
        SCOPED_TRACE(c.distance);
        EXPECT_NEAR(p.visibleWidthAt(c.distance), c.width, 0.005);
        EXPECT_NEAR(p.visibleHeightAt(c.distance), c.height, 0.005);
    }
    // The 2.5 × 7.5 slab covers the whole view.
    EXPECT_LT(p.visibleWidthAt(31), 2.5);
    EXPECT_LT(p.visibleHeightAt(31), 7.5);
}

TEST(Projection, LargerSideSetsTheScale)
{
    // A landscape view keeps the same rule with the width as the larger side.
    const Projection wide = Projection::forView(Camera {}, 400, 100);
    EXPECT_NEAR(wide.right, 0.5, 1e-12);
    EXPECT_NEAR(wide.top, 0.125, 1e-12);
    EXPECT_NEAR(wide.nearPlane, 280.0 * 2 * 96 / (25.4 * 400), 1e-12);
    // A degenerate size does not divide by zero.
    const Projection empty = Projection::forView(Camera {}, 0, 0);
    EXPECT_TRUE(std::isfinite(empty.nearPlane));
    EXPECT_GT(empty.right, 0.0);
}

TEST(Projection, MatrixMapsTheFrustumCornersToTheClipCube)
{
    const Projection p = Projection::forView(Camera {}, 150, 425);
    const Matrix4 m = p.matrix();
    const Vector4 nearCorner = m.map(Vector4 { p.right, p.top, -p.nearPlane, 1 });
    EXPECT_NEAR(nearCorner.x / nearCorner.w, 1.0, 1e-9);
    EXPECT_NEAR(nearCorner.y / nearCorner.w, 1.0, 1e-9);
    EXPECT_NEAR(nearCorner.z / nearCorner.w, -1.0, 1e-9);
    const double f = p.farPlane / p.nearPlane;
    const Vector4 farCorner = m.map(Vector4 { p.left * f, p.bottom * f, -p.farPlane, 1 });
    EXPECT_NEAR(farCorner.x / farCorner.w, -1.0, 1e-9);
    EXPECT_NEAR(farCorner.y / farCorner.w, -1.0, 1e-9);
    EXPECT_NEAR(farCorner.z / farCorner.w, 1.0, 1e-9);
}

// On a scaled screen the viewport has more device pixels, not more view: the
// framing (fields of view, so the slab still fills the view) is the design's.
TEST(Projection, DevicePixelsPerViewPixelKeepTheFraming)
{
    const Projection design = Projection::forView(Camera {}, 150, 425);
    for (const double ratio : { 1.0, 4.0 / 3.0, 1.6, 2.0, 3.0 }) {
        SCOPED_TRACE(ratio);
        const Projection p = Projection::forView(
            Camera {}, int(std::lround(150 * ratio)), int(std::lround(425 * ratio)), ratio);
        EXPECT_NEAR(p.verticalFieldOfView(), design.verticalFieldOfView(), 0.01);
        EXPECT_NEAR(p.horizontalFieldOfView(), design.horizontalFieldOfView(), 0.02);
        EXPECT_LT(p.visibleHeightAt(31), 7.5);
    }
}
