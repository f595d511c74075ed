#include "DiceRenderer.h"

#include "DiceScene.h"
#include "DieMesh.h"
#include "MaterialLibrary.h"
#include "Projection.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QImage>

#include <cstdio>
#include <cstring>

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
    m_initialized = false;
}

void DiceRenderer::render(
    const DiceScene &scene, int width, int height, Mode mode, double pixelRatio)
{
    initialize();

    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    const Camera &camera = scene.camera();
    const Projection projection = Projection::forView(camera, width, height, pixelRatio);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(projection.left, projection.right, projection.bottom, projection.top,
        projection.nearPlane, projection.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.position.x, camera.position.y, camera.position.z, camera.position.x,
        camera.position.y, camera.position.z - 1.0, 0.0, 1.0, 0.0);

    if (mode == Mode::Textured) {
        glEnable(GL_DITHER);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    } else {
        glDisable(GL_DITHER);
        glDisable(GL_TEXTURE_2D);
    }

    glEnableClientState(GL_VERTEX_ARRAY);
    int index = 0;
    for (const SceneObject *object : scene.objects()) {
        const int objectIndex = index++;
        const DieMesh *mesh = scene.meshOf(*object);
        if (!mesh || mesh->indices.empty())
            continue;
        glPushMatrix();
        glMultMatrixd(object->modelMatrix().data());

        const auto texture = m_textures.constFind(object->LibMaterialName());
        const bool textured = mode == Mode::Textured && texture != m_textures.constEnd();
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
