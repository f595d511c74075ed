#include "Picking.h"

#include "DiceScene.h"
#include "DieMesh.h"
#include "Projection.h"

#include <algorithm>
#include <array>

namespace dorvel::dice3d::picking {

namespace {

    // A triangle clipped by six planes has at most nine corners.
    struct Polygon
    {
        std::array<Vector4, 12> points;
        std::size_t count = 0;
    };

    // Signed distance to one of the six planes of the clip volume: -w <= x, y, z <= w.
    double planeDistance(const Vector4 &v, int plane)
    {
        switch (plane) {
        case 0:
            return v.w + v.x;
        case 1:
            return v.w - v.x;
        case 2:
            return v.w + v.y;
        case 3:
            return v.w - v.y;
        case 4:
            return v.w + v.z;
        default:
            return v.w - v.z;
        }
    }

    // Sutherland–Hodgman against the clip volume, in homogeneous coordinates.
    Polygon clip(const Polygon &triangle)
    {
        Polygon polygon = triangle;
        Polygon next;
        for (int plane = 0; plane < 6 && polygon.count > 0; ++plane) {
            next.count = 0;
            for (std::size_t i = 0; i < polygon.count; ++i) {
                const Vector4 &a = polygon.points[i];
                const Vector4 &b = polygon.points[(i + 1) % polygon.count];
                const double da = planeDistance(a, plane);
                const double db = planeDistance(b, plane);
                if (da >= 0.0)
                    next.points[next.count++] = a;
                if ((da >= 0.0) != (db >= 0.0)) {
                    const double t = da / (da - db);
                    next.points[next.count++] = { a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t,
                        a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t };
                }
            }
            polygon = next;
        }
        return polygon;
    }

    // All corners beyond one plane: nothing of the triangle is inside.
    bool outsideOnePlane(const Polygon &triangle)
    {
        for (int plane = 0; plane < 6; ++plane) {
            if (planeDistance(triangle.points[0], plane) < 0.0
                && planeDistance(triangle.points[1], plane) < 0.0
                && planeDistance(triangle.points[2], plane) < 0.0)
                return true;
        }
        return false;
    }

    Vector4 toEye(const Matrix4 &m, Vector3 p)
    {
        return m.map(p);
    }

    // Quick rejection: the cube around the mesh's bounding sphere lies wholly
    // outside one plane of the clip volume (the planes are linear in homogeneous
    // coordinates, so its corners decide).
    bool surelyMissed(const DieMesh &mesh, const Matrix4 &clipMatrix)
    {
        const double r = mesh.boundingRadius;
        int outside[6] = {};
        for (int corner = 0; corner < 8; ++corner) {
            const Vector3 p { static_cast<float>(corner & 1 ? r : -r),
                static_cast<float>(corner & 2 ? r : -r), static_cast<float>(corner & 4 ? r : -r) };
            const Vector4 c = clipMatrix.map(p);
            for (int plane = 0; plane < 6; ++plane) {
                if (planeDistance(c, plane) < 0.0)
                    ++outside[plane];
            }
        }
        for (const int count : outside) {
            if (count == 8)
                return true;
        }
        return false;
    }

} // namespace

double nearestDepth(const DieMesh &mesh, const Matrix4 &modelView, const Matrix4 &clipMatrix)
{
    double best = -1.0;
    if (surelyMissed(mesh, clipMatrix))
        return best;
    const std::size_t count = mesh.positions.size();
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const std::uint32_t ia = mesh.indices[t];
        const std::uint32_t ib = mesh.indices[t + 1];
        const std::uint32_t ic = mesh.indices[t + 2];
        if (ia >= count || ib >= count || ic >= count)
            continue;
        const Vector3 &pa = mesh.positions[ia];
        const Vector3 &pb = mesh.positions[ib];
        const Vector3 &pc = mesh.positions[ic];

        Polygon triangle;
        triangle.points[0] = clipMatrix.map(pa);
        triangle.points[1] = clipMatrix.map(pb);
        triangle.points[2] = clipMatrix.map(pc);
        triangle.count = 3;
        if (outsideOnePlane(triangle))
            continue;

        // Back faces are culled when drawn, so they cannot be hit either. Seen
        // from the eye at the origin a front face winds counter-clockwise.
        const Vector4 ea = toEye(modelView, pa);
        const Vector4 eb = toEye(modelView, pb);
        const Vector4 ec = toEye(modelView, pc);
        const double ux = eb.x - ea.x, uy = eb.y - ea.y, uz = eb.z - ea.z;
        const double vx = ec.x - ea.x, vy = ec.y - ea.y, vz = ec.z - ea.z;
        const double nx = uy * vz - uz * vy;
        const double ny = uz * vx - ux * vz;
        const double nz = ux * vy - uy * vx;
        if (nx * ea.x + ny * ea.y + nz * ea.z >= 0.0)
            continue;

        const Polygon inside = clip(triangle);
        for (std::size_t k = 0; k < inside.count; ++k) {
            const Vector4 &v = inside.points[k];
            if (v.w <= 0.0)
                continue;
            const double depth = std::clamp((v.z / v.w + 1.0) * 0.5, 0.0, 1.0);
            if (best < 0.0 || depth < best)
                best = depth;
        }
    }
    return best;
}

SceneObject *pick(DiceScene &scene, int width, int height, int x, int y, double box)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    // The box in GL window coordinates (rows counted from the bottom), cut to
    // the view: nothing is drawn outside it.
    const double left = std::max(x - box / 2, 0.0);
    const double right = std::min(x + box / 2, double(width));
    const double bottom = std::max(height - y - box / 2, 0.0);
    const double top = std::min(height - y + box / 2, double(height));
    if (left >= right || bottom >= top)
        return nullptr;
    const Projection projection = Projection::forView(scene.camera(), width, height);
    const Matrix4 view = viewMatrix(scene.camera());
    const Matrix4 pickProjection = pickMatrix((left + right) / 2, (bottom + top) / 2, right - left,
                                       top - bottom, width, height)
        * projection.matrix();

    SceneObject *nearest = nullptr;
    double nearestDepthSoFar = 2.0;
    for (SceneObject *object : scene.objects()) {
        const DieMesh *mesh = scene.meshOf(*object);
        if (!mesh)
            continue;
        const Matrix4 modelView = view * object->modelMatrix();
        const double depth = nearestDepth(*mesh, modelView, pickProjection * modelView);
        if (depth >= 0.0 && depth < nearestDepthSoFar) {
            nearestDepthSoFar = depth;
            nearest = object;
        }
    }
    return nearest;
}

} // namespace dorvel::dice3d::picking
