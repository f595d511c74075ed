#pragma once

#include "Geometry.h"

namespace dorvel::dice3d {

/// The fixed camera `GLCamera1`: at (0, 0, 25) looking along -z with Up (0, 1, 0).
struct Camera
{
    Vector3 position { 0, 0, 25 };
    float focalLength = 280.0f;
    float depthOfView = 100.0f;
};

/**
 * The camera's perspective for a view of w × h pixels, as a frustum in eye
 * space. Drawing and picking both take their matrices from here, so a click
 * hits exactly what is drawn. The near plane follows from the focal length at
 * a fixed 96 dots per inch: n = focal × 2 × 96 ÷ (25.4 × m), m = max(w, h),
 * spanning ±w/(2m) by ±h/(2m); the far plane lies the depth of view behind it.
 *
 * Those 96 dots per inch are the view's own pixels, not the device's: on a
 * screen with `pixelRatio` device pixels per view pixel (a scaled or high-DPI
 * screen) m is counted in view pixels, so the framing stays the same and only
 * the number of pixels that draw it grows.
 */
struct Projection
{
    double left = -0.5;
    double right = 0.5;
    double bottom = -0.5;
    double top = 0.5;
    double nearPlane = 1.0;
    double farPlane = 2.0;

    static constexpr double kDotsPerInch = 96.0;

    /// For a viewport of width × height device pixels, `pixelRatio` of them per
    /// view pixel.
    static Projection forView(const Camera &camera, int width, int height, double pixelRatio = 1.0);

    /// Full opening angles in degrees.
    double horizontalFieldOfView() const;
    double verticalFieldOfView() const;
    /// Width and height of the visible rectangle at a distance in front of the camera.
    double visibleWidthAt(double distance) const { return (right - left) * distance / nearPlane; }
    double visibleHeightAt(double distance) const { return (top - bottom) * distance / nearPlane; }

    /// The matrix glFrustum builds from these planes.
    Matrix4 matrix() const;
};

/// World to eye coordinates for the camera (what gluLookAt sets for it).
Matrix4 viewMatrix(const Camera &camera);

/// The matrix gluPickMatrix builds: it narrows the view to a box of
/// boxWidth × boxHeight pixels centred on (x, y) in GL window coordinates
/// (origin bottom left) of a viewport of width × height.
Matrix4 pickMatrix(double x, double y, double boxWidth, double boxHeight, int width, int height);

} // namespace dorvel::dice3d
