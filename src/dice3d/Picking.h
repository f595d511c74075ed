#pragma once

#include "Geometry.h"

namespace dorvel::dice3d {

class DiceScene;
class SceneObject;
struct DieMesh;

/**
 * Hit testing in plain code with the drawing's own matrices: a triangle counts
 * when its front face reaches into the pick box (what the GL selection mode
 * with gluPickMatrix reports), and the object with the smallest depth in the
 * box wins; on equal depths the earlier object in scene order.
 */
namespace picking {

    /// The smallest window depth (0 near .. 1 far) of the mesh's front faces
    /// inside the clip volume of `clip` (object to clip space), or a negative
    /// value when no front face reaches into it. `modelView` (object to eye
    /// space) decides which faces are front faces.
    double nearestDepth(const DieMesh &mesh, const Matrix4 &modelView, const Matrix4 &clip);

    /// The object drawn nearest the viewer within the box × box-pixel square
    /// centred on view pixel (x, y) (origin top left) of a width × height view.
    SceneObject *pick(DiceScene &scene, int width, int height, int x, int y, double box = 2.0);

} // namespace picking

} // namespace dorvel::dice3d
