#include "Projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dorvel::dice3d {

Projection Projection::forView(const Camera &camera, int width, int height, double pixelRatio)
{
    const double w = std::max(width, 1);
    const double h = std::max(height, 1);
    const double m = std::max(w, h);
    const double viewPixels = pixelRatio > 0.0 ? m / pixelRatio : m;
    Projection p;
    p.nearPlane = camera.focalLength * 2.0 * kDotsPerInch / (25.4 * viewPixels);
    p.farPlane = p.nearPlane + camera.depthOfView;
    p.right = w / (2.0 * m);
    p.left = -p.right;
    p.top = h / (2.0 * m);
    p.bottom = -p.top;
    return p;
}

double Projection::horizontalFieldOfView() const
{
    return (std::atan(right / nearPlane) - std::atan(left / nearPlane)) * 180.0 / std::numbers::pi;
}

double Projection::verticalFieldOfView() const
{
    return (std::atan(top / nearPlane) - std::atan(bottom / nearPlane)) * 180.0 / std::numbers::pi;
}

Matrix4 Projection::matrix() const
{
    Matrix4 r;
    r.at(0, 0) = 2.0 * nearPlane / (right - left);
    r.at(0, 2) = (right + left) / (right - left);
    r.at(1, 1) = 2.0 * nearPlane / (top - bottom);
    r.at(1, 2) = (top + bottom) / (top - bottom);
    r.at(2, 2) = -(farPlane + nearPlane) / (farPlane - nearPlane);
    r.at(2, 3) = -2.0 * farPlane * nearPlane / (farPlane - nearPlane);
    r.at(3, 2) = -1.0;
    r.at(3, 3) = 0.0;
    return r;
}

Matrix4 viewMatrix(const Camera &camera)
{
    // The camera looks along -z with y up, so the view is a pure translation.
    return Matrix4::translation(-camera.position.x, -camera.position.y, -camera.position.z);
}

Matrix4 pickMatrix(double x, double y, double boxWidth, double boxHeight, int width, int height)
{
    return Matrix4::translation((width - 2.0 * x) / boxWidth, (height - 2.0 * y) / boxHeight, 0.0)
        * Matrix4::scaling(width / boxWidth, height / boxHeight, 1.0);
}

} // namespace dorvel::dice3d
