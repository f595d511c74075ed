#pragma once

#include <QHash>
#include <QRect>
#include <QString>

#include <array>

namespace dorvel::dice3d {

class DiceScene;

/**
 * Draws the dice scene with fixed-function OpenGL 1.x into whatever surface
 * is current: depth test, back faces culled, cleared to black, the camera's
 * frustum, each object's material as a decal texture (unshaded, no light).
 * Owns the textures of one context: initialize() and cleanup() must run with
 * that context current.
 *
 * The slab and the camera never move, so the slab is drawn once per context,
 * size and target format into an off-screen framebuffer; every frame copies
 * its colour and depth into the target and draws only the dice on top. The
 * picture is the same, pixel for pixel, as drawing everything (Mode::TexturedDirect,
 * kept to compare against), because a copy of the slab's colour and depth is
 * exactly the state drawing it leaves.
 *
 * Where the target keeps its pixels from one frame to the next, a frame can
 * be drawn anew only where the dice are or were (renderArea()): everywhere
 * else the frame before already shows the slab alone.
 */
class DiceRenderer
{
public:
    enum class Mode {
        Textured, ///< what the player sees, the slab copied from its cache
        TexturedDirect, ///< the same picture with every object drawn each frame
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
    /// Draws only `area` of the frame anew (GL window coordinates, device
    /// pixels, origin bottom left): the slab from its cache there, then the
    /// five dice. The rest of the target must already hold a frame of this
    /// slab at this size, and every die must lie inside `area`, in that frame
    /// and in this one. False, with nothing drawn, when only a whole frame will
    /// do (the cache is missing or was made for another size or format, or a
    /// die reaches into the slab): call render() then.
    bool renderArea(
        const DiceScene &scene, int width, int height, double pixelRatio, const QRect &area);
    /// Where the five dice lie in a frame of width × height device pixels: a
    /// rectangle in GL window coordinates (origin bottom left) holding every
    /// pixel their triangles can touch, with a margin, clipped to the frame;
    /// empty when no die has a mesh.
    static QRect diceArea(const DiceScene &scene, int width, int height, double pixelRatio);

    /// Frees the textures and the slab's cache.
    void cleanup();
    bool isInitialized() const { return m_initialized; }
    /// True once a frame has been drawn with the slab copied from its cache.
    bool usesCache() const { return m_cacheValid; }

    /// The flat colour (0xRRGGBB) of object `index` (scene order) in ObjectIds mode.
    static unsigned objectIdColour(int index);

private:
    // What the cached slab was drawn for; a different key draws it again.
    struct CacheKey
    {
        int width = 0;
        int height = 0;
        double pixelRatio = 1.0;
        std::array<int, 6> bits {}; // red, green, blue, alpha, depth, stencil of the target
        std::array<double, 16> slab {};
        std::array<float, 3> camera {};
        bool operator==(const CacheKey &) const = default;
    };

    void beginFrame(const DiceScene &scene, int width, int height, Mode mode, bool clear);
    void drawObjects(const DiceScene &scene, Mode mode, int first, int last);
    bool drawCached(const DiceScene &scene, int width, int height);
    bool diceInFrontOfSlab(const DiceScene &scene) const;
    CacheKey cacheKeyFor(const DiceScene &scene, int width, int height) const;
    bool createCacheTarget(const CacheKey &key);
    bool prepareCache(const DiceScene &scene, int width, int height, unsigned target);
    void releaseCache();

    QHash<QString, unsigned> m_textures; // material name → GL texture name
    bool m_initialized = false;
    // The slab's cache: framebuffer, colour and depth renderbuffers.
    unsigned m_cacheFbo = 0;
    unsigned m_cacheColour = 0;
    unsigned m_cacheDepth = 0;
    bool m_cacheValid = false;
    bool m_cacheUnusable = false; // the driver refused it: draw directly from now on
    CacheKey m_cacheKey;
    double m_pixelRatio = 1.0; // of the frame being drawn
    double m_slabFront = 0.0; // largest z of the slab in the world
};

} // namespace dorvel::dice3d
