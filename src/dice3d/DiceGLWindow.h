#pragma once

#include "DiceRenderer.h"

#include <QImage>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <optional>

class QOpenGLContext;

namespace dorvel::dice3d {

class DiceScene;

/**
 * The native GL surface inside the dice view: a window with a GL context of its
 * own, in a window container (draws correctly on 16-bit and 24-bit X servers
 * alike). It takes no keyboard focus and hands key presses on to the view, so
 * the window around it keeps its keys; mouse presses are reported through
 * pressed().
 *
 * Its first frame is the expensive one: llvmpipe compiles the drawing state
 * into machine code per context, a few hundred milliseconds. prepareAhead()
 * does that work on a worker thread beforehand (while the player types the
 * names), and the next DiceGLWindow takes the prepared context over.
 */
class DiceGLWindow : public QWindow
{
    Q_OBJECT
public:
    DiceGLWindow(const DiceScene &scene, QObject *keyTarget);
    ~DiceGLWindow() override;

    /// The surface format the view asks for: double-buffered 16-bit colour,
    /// a depth buffer, no waiting for the vertical retrace, compatibility GL.
    static QSurfaceFormat requestedFormat();

    /// Starts making the next dice window's GL context, textures and one frame
    /// on a worker thread (once; further calls while one is prepared do
    /// nothing). Call on the user-interface thread.
    static void prepareAhead();
    /// Drops a prepared context nobody took, waiting for its worker; runs by
    /// itself when the application ends.
    static void dropPrepared();
    /// True while a prepared context waits for the next window.
    static bool hasPrepared();

    /// What goes wrong with the next preparations (for tests): the worker gives
    /// up before making anything, or hands over a context that cannot be made
    /// current. The window must draw the dice with a context of its own.
    enum class PreparationFault { None, WorkerFails, ContextUnusable };
    static void setPreparationFault(PreparationFault fault);

    int framesDrawn() const { return m_frames; }
    /// Frames drawn only where the dice are or were (the back buffer kept the
    /// rest), as opposed to whole frames.
    int partialFrames() const { return m_partialFrames; }

    /// Lets windows made afterwards draw partial frames where the driver allows
    /// it (the default); off, every frame is drawn whole and swapped. For
    /// comparing the two.
    static void setPartialFramesAllowed(bool allowed);
    /// The context, once the first frame has been drawn.
    QOpenGLContext *context() const { return m_context.get(); }

    /// Draws and shows a frame now, without waiting for an update request.
    /// Does nothing while the window is not exposed (its expose draws one).
    void renderNow();
    /// What the window shows: the current scene drawn and read back.
    QImage grabFramebuffer();

Q_SIGNALS:
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);
    void frameSwapped();

protected:
    bool event(QEvent *event) override;
    void exposeEvent(QExposeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool makeContextCurrent();
    bool takePrepared();
    bool createOwnContext();
    void drawFrame();
    void present();
    void cleanup();

    const DiceScene &m_scene;
    QObject *m_keyTarget;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<DiceRenderer> m_renderer;
    bool m_ownContext = false; // made here rather than taken over
    int m_frames = 0;
    int m_partialFrames = 0;
    // Partial frames: whether this context may show parts of the back buffer
    // (decided once it is current), and where the dice lie in the frame the
    // back buffer holds; none while it holds no frame shown as it is.
    enum class Partial { Undecided, No, Yes } m_partial = Partial::Undecided;
    std::optional<QRect> m_backDice;
    QSize m_backSize;
    // Runs a second after the last frame: the view has come to rest.
    QTimer m_stillTimer;
};

} // namespace dorvel::dice3d
