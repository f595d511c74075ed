#include "DiceRenderer.h"

#include "DiceScene.h"
#include "DieMesh.h"
#include "MaterialLibrary.h"
#include "Projection.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace dorvel::dice3d {

static_assert(sizeof(Vector3) == 3 * sizeof(float), "vertex arrays take positions as they are");
static_assert(sizeof(TexCoord) == 2 * sizeof(float), "vertex arrays take UVs as they are");

namespace {

    // Mipmaps made by the driver need GL 1.4; pictures that are not powers of two
    // need 2.0. Older drivers get gluBuild2DMipmaps, which rescales.
    bool driverMakesMipmaps()
    {
        const auto *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
        int major = 0;
        int minor = 0;
        if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2)
            return false;
        return major >= 2;
    }

    unsigned uploadTexture(const QImage &picture, bool driverMipmaps)
    {
        if (picture.isNull())
            return 0;
        // GL's rows run bottom-up: the picture's top row goes last, so texture
        // coordinate v = 1 is the top of the picture.
        const QImage image = picture.convertToFormat(QImage::Format_RGB888).mirrored();
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        // Rows of a QImage are padded to 4 bytes; copy them packed.
        QByteArray pixels;
        pixels.resize(static_cast<qsizetype>(image.width()) * image.height() * 3);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(pixels.data() + static_cast<qsizetype>(y) * image.width() * 3,
                image.constScanLine(y), static_cast<std::size_t>(image.width()) * 3);
        if (driverMipmaps) {
            glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, image.width(), image.height(), 0, GL_RGB,
                GL_UNSIGNED_BYTE, pixels.constData());
        } else {
            gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image.width(), image.height(), GL_RGB,
                GL_UNSIGNED_BYTE, pixels.constData());
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        return texture;
    }

} // namespace

unsigned DiceRenderer::objectIdColour(int index)
{
    // Far apart in red and green so a 16-bit buffer keeps them distinct too.
    const unsigned n = static_cast<unsigned>(index + 1);
    return ((n * 40u) << 16) | (((7u - n) * 36u) << 8) | 0x80u;
}

void DiceRenderer::initialize()
{
    if (m_initialized)
        return;
    const bool driverMipmaps = driverMakesMipmaps();
    for (const QString &name : MaterialLibrary::names()) {
        const unsigned texture = uploadTexture(MaterialLibrary::picture(name), driverMipmaps);
        if (texture)
            m_textures.insert(name, texture);
    }
    m_initialized = true;
}

void DiceRenderer::cleanup()
{
    for (const unsigned texture : std::as_const(m_textures)) {
        const GLuint name = texture;
        glDeleteTextures(1, &name);
    }
    m_textures.clear();
    releaseCache();
    m_cacheUnusable = false;
    m_initialized = false;
}

void DiceRenderer::render(
    const DiceScene &scene, int width, int height, Mode mode, double pixelRatio)
{
    initialize();
    m_pixelRatio = pixelRatio;
    if (mode == Mode::Textured && drawCached(scene, width, height))
        return;
    beginFrame(scene, width, height, mode, true);
    drawObjects(scene, mode, 0, static_cast<int>(scene.objects().size()));
}

// The slab from the cache, then the five dice. False (nothing drawn) when the
// cache cannot be had; the caller then draws directly.
bool DiceRenderer::drawCached(const DiceScene &scene, int width, int height)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (m_cacheUnusable || !context)
        return false;
    QOpenGLExtraFunctions *gl = context->extraFunctions();
    GLint target = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    if (!prepareCache(scene, width, height, static_cast<unsigned>(target)))
        return false;
    const bool diceInFront = diceInFrontOfSlab(scene);
    glGetError();
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_cacheFbo);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(target));
    gl->glBlitFramebuffer(0, 0, width, height, 0, 0, width, height,
        diceInFront ? GL_COLOR_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(target));
    if (diceInFront) {
        glClearDepth(1.0);
        glClear(GL_DEPTH_BUFFER_BIT);
    }
    if (glGetError() != GL_NO_ERROR) {
        // Formats the driver will not copy between: never try again.
        releaseCache();
        m_cacheUnusable = true;
        return false;
    }
    beginFrame(scene, width, height, Mode::Textured, false);
    drawObjects(scene, Mode::Textured, 0, 5);
    return true;
}

// With every die wholly in front of the slab (always, in the game) the slab's
// depth decides nothing: a cleared depth buffer gives the same picture, and
// copying only the colour is cheaper.
bool DiceRenderer::diceInFrontOfSlab(const DiceScene &scene) const
{
    for (int n = 1; n <= 5; ++n) {
        const DieActor &die = scene.die(n);
        if (const DieMesh *mesh = die.mesh()) {
            const Vector3 &scale = die.Scale();
            const double reach = static_cast<double>(mesh->boundingRadius)
                * std::max({ std::abs(scale.x), std::abs(scale.y), std::abs(scale.z) });
            if (die.Position().z - reach <= m_slabFront)
                return false;
        }
    }
    return true;
}

bool DiceRenderer::renderArea(
    const DiceScene &scene, int width, int height, double pixelRatio, const QRect &area)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!m_initialized || !m_cacheValid || !context)
        return false;
    m_pixelRatio = pixelRatio;
    if (!(cacheKeyFor(scene, width, height) == m_cacheKey) || !diceInFrontOfSlab(scene))
        return false;
    QOpenGLExtraFunctions *gl = context->extraFunctions();
    GLint target = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    if (!area.isEmpty()) {
        gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_cacheFbo);
        gl->glBlitFramebuffer(area.left(), area.top(), area.right() + 1, area.bottom() + 1,
            area.left(), area.top(), area.right() + 1, area.bottom() + 1, GL_COLOR_BUFFER_BIT,
            GL_NEAREST);
        gl->glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(target));
    }
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    beginFrame(scene, width, height, Mode::Textured, false);
    drawObjects(scene, Mode::Textured, 0, 5);
    return true;
}

QRect DiceRenderer::diceArea(const DiceScene &scene, int width, int height, double pixelRatio)
{
    // The drawing's own matrices, in doubles where GL takes floats: the margin
    // covers the difference and the rasteriser's rounding.
    constexpr int kMargin = 2;
    const QRect frame(0, 0, width, height);
    const Matrix4 viewProjection
        = Projection::forView(scene.camera(), width, height, pixelRatio).matrix()
        * viewMatrix(scene.camera());
    double left = std::numeric_limits<double>::infinity();
    double bottom = left;
    double right = -left;
    double top = -left;
    for (int n = 1; n <= 5; ++n) {
        const DieActor &die = scene.die(n);
        const DieMesh *mesh = die.mesh();
        if (!mesh || mesh->indices.empty())
            continue;
        const Matrix4 toClip = viewProjection * die.modelMatrix();
        for (const Vector3 &p : mesh->positions) {
            const Vector4 c = toClip.map(p);
            if (c.w <= 0.0) // reaching behind the camera: it may cover anything
                return frame;
            const double x = (c.x / c.w + 1.0) * 0.5 * width;
            const double y = (c.y / c.w + 1.0) * 0.5 * height;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
        }
    }
    if (left > right)
        return {};
    const auto pixel = [](double v) { return static_cast<int>(std::clamp(v, -1e6, 1e6)); };
    return QRect(QPoint(pixel(std::floor(left)) - kMargin, pixel(std::floor(bottom)) - kMargin),
        QPoint(pixel(std::ceil(right)) + kMargin, pixel(std::ceil(top)) + kMargin))
        .intersected(frame);
}

// The key of a slab drawn at this size into the framebuffer now bound.
DiceRenderer::CacheKey DiceRenderer::cacheKeyFor(
    const DiceScene &scene, int width, int height) const
{
    CacheKey key;
    key.width = width;
    key.height = height;
    key.pixelRatio = m_pixelRatio;
    const GLenum queries[6] = { GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS,
        GL_DEPTH_BITS, GL_STENCIL_BITS };
    for (std::size_t i = 0; i < 6; ++i)
        glGetIntegerv(queries[i], &key.bits[i]);
    const Matrix4 slab = scene.plane().modelMatrix();
    std::copy(slab.data(), slab.data() + 16, key.slab.begin());
    const Vector3 &eye = scene.camera().position;
    key.camera
        = { static_cast<float>(eye.x), static_cast<float>(eye.y), static_cast<float>(eye.z) };
    return key;
}

// Makes the cache's framebuffer and renderbuffers in the same formats as the
// target (or the copy would not be exact, or allowed), and leaves the cache's
// framebuffer bound. Answers whether the driver took them.
bool DiceRenderer::createCacheTarget(const CacheKey &key)
{
    const auto &bits = key.bits;
    const GLenum colour = (bits[0] == 5 && bits[1] == 6 && bits[2] == 5) ? GL_RGB565
        : bits[3] > 0                                                    ? GL_RGBA8
                                                                         : GL_RGB8;
    GLenum depth = GL_DEPTH_COMPONENT16;
    GLenum depthAttachment = GL_DEPTH_ATTACHMENT;
    if (bits[5] > 0) {
        depth = GL_DEPTH24_STENCIL8;
        depthAttachment = GL_DEPTH_STENCIL_ATTACHMENT;
    } else if (bits[4] == 24) {
        depth = GL_DEPTH_COMPONENT24;
    } else if (bits[4] == 32) {
        depth = GL_DEPTH_COMPONENT32;
    }
    QOpenGLExtraFunctions *gl = QOpenGLContext::currentContext()->extraFunctions();
    glGetError();
    gl->glGenFramebuffers(1, &m_cacheFbo);
    gl->glGenRenderbuffers(1, &m_cacheColour);
    gl->glGenRenderbuffers(1, &m_cacheDepth);
    gl->glBindRenderbuffer(GL_RENDERBUFFER, m_cacheColour);
    gl->glRenderbufferStorage(GL_RENDERBUFFER, colour, key.width, key.height);
    gl->glBindRenderbuffer(GL_RENDERBUFFER, m_cacheDepth);
    gl->glRenderbufferStorage(GL_RENDERBUFFER, depth, key.width, key.height);
    gl->glBindRenderbuffer(GL_RENDERBUFFER, 0);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, m_cacheFbo);
    gl->glFramebufferRenderbuffer(
        GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_cacheColour);
    gl->glFramebufferRenderbuffer(GL_FRAMEBUFFER, depthAttachment, GL_RENDERBUFFER, m_cacheDepth);
    return gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE
        && glGetError() == GL_NO_ERROR;
}

// Makes sure the cache holds the slab as drawn into `target` at this size.
bool DiceRenderer::prepareCache(const DiceScene &scene, int width, int height, unsigned target)
{
    const CacheKey key = cacheKeyFor(scene, width, height);
    if (m_cacheValid && key == m_cacheKey)
        return true;

    releaseCache();
    const bool complete = createCacheTarget(key);
    if (complete) {
        beginFrame(scene, width, height, Mode::Textured, true);
        drawObjects(scene, Mode::Textured, 5, 6);
    }
    QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_FRAMEBUFFER, target);
    if (!complete) {
        releaseCache();
        m_cacheUnusable = true;
        return false;
    }
    // How far toward the camera the slab reaches.
    m_slabFront = -std::numeric_limits<double>::infinity();
    if (const DieMesh *mesh = scene.meshOf(scene.plane())) {
        const Matrix4 slab = scene.plane().modelMatrix();
        for (const Vector3 &p : mesh->positions)
            m_slabFront = std::max(m_slabFront, slab.map(p).z);
    }
    m_cacheKey = key;
    m_cacheValid = true;
    return true;
}

void DiceRenderer::releaseCache()
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (context && (m_cacheFbo || m_cacheColour || m_cacheDepth)) {
        QOpenGLExtraFunctions *gl = context->extraFunctions();
        gl->glDeleteFramebuffers(1, &m_cacheFbo);
        gl->glDeleteRenderbuffers(1, &m_cacheColour);
        gl->glDeleteRenderbuffers(1, &m_cacheDepth);
    }
    m_cacheFbo = m_cacheColour = m_cacheDepth = 0;
    m_cacheValid = false;
}

void DiceRenderer::beginFrame(const DiceScene &scene, int width, int height, Mode mode, bool clear)
{
    glViewport(0, 0, width, height);
    if (clear) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    const Camera &camera = scene.camera();
    const Projection projection = Projection::forView(camera, width, height, m_pixelRatio);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(projection.left, projection.right, projection.bottom, projection.top,
        projection.nearPlane, projection.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.position.x, camera.position.y, camera.position.z, camera.position.x,
        camera.position.y, camera.position.z - 1.0, 0.0, 1.0, 0.0);

    if (mode != Mode::ObjectIds) {
        glEnable(GL_DITHER);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    } else {
        glDisable(GL_DITHER);
        glDisable(GL_TEXTURE_2D);
    }
}

// Objects first .. last - 1 in scene order (the five dice are 0..4, the slab 5).
void DiceRenderer::drawObjects(const DiceScene &scene, Mode mode, int first, int last)
{
    const auto objects = scene.objects();
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int objectIndex = first; objectIndex < last; ++objectIndex) {
        const SceneObject *object = objects[static_cast<std::size_t>(objectIndex)];
        const DieMesh *mesh = scene.meshOf(*object);
        if (!mesh || mesh->indices.empty())
            continue;
        glPushMatrix();
        glMultMatrixd(object->modelMatrix().data());

        const auto texture = m_textures.constFind(object->LibMaterialName());
        const bool textured = mode != Mode::ObjectIds && texture != m_textures.constEnd();
        if (textured) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, *texture);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, 0, mesh->texCoords.data());
        } else {
            glDisable(GL_TEXTURE_2D);
            const unsigned colour
                = mode == Mode::ObjectIds ? objectIdColour(objectIndex) : 0xFFFFFFu;
            glColor3ub(static_cast<GLubyte>(colour >> 16), static_cast<GLubyte>(colour >> 8),
                static_cast<GLubyte>(colour));
        }
        glVertexPointer(3, GL_FLOAT, 0, mesh->positions.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh->indices.size()), GL_UNSIGNED_INT,
            mesh->indices.data());
        if (textured) {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glBindTexture(GL_TEXTURE_2D, 0);
            glDisable(GL_TEXTURE_2D);
        }
        glPopMatrix();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace dorvel::dice3d
