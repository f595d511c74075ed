#pragma once

#include <QHash>
#include <QString>

namespace dorvel::dice3d {

class DiceScene;

/**
 * Draws the dice scene with fixed-function OpenGL 1.x into whatever surface
 * is current: depth test, back faces culled, cleared to black, the camera's
 * frustum, each object's material as a decal texture (unshaded, no light).
 * Owns the textures of one context: initialize() and cleanup() must run with
 * that context current.
 */
class DiceRenderer
{
public:
    enum class Mode {
        Textured, ///< what the player sees
        ObjectIds ///< each object in a flat colour, objectIdColour(index)
    };

    DiceRenderer() = default;
    DiceRenderer(const DiceRenderer &) = delete;
    DiceRenderer &operator=(const DiceRenderer &) = delete;

    /// Uploads the materials' textures; called by render() when needed.
    void initialize();
    /// Draws into a viewport of width × height device pixels; `pixelRatio` is
    /// device pixels per view pixel (the camera frames the view's own size).
    void render(const DiceScene &scene, int width, int height, Mode mode = Mode::Textured,
        double pixelRatio = 1.0);
    /// Frees the textures.
    void cleanup();
    bool isInitialized() const { return m_initialized; }

    /// The flat colour (0xRRGGBB) of object `index` (scene order) in ObjectIds mode.
    static unsigned objectIdColour(int index);

private:
    QHash<QString, unsigned> m_textures; // material name → GL texture name
    bool m_initialized = false;
};

} // namespace dorvel::dice3d
