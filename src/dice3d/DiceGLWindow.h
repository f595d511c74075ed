#pragma once

#include "DiceRenderer.h"

#include <QOpenGLWindow>

namespace dorvel::dice3d {

class DiceScene;

/**
 * The native GL surface inside the dice view. A QOpenGLWindow in a window
 * container draws correctly on 16-bit and 24-bit X servers alike. It takes no
 * keyboard focus and hands key presses on to the view, so the window around
 * it keeps its keys; mouse presses are reported through pressed().
 */
class DiceGLWindow : public QOpenGLWindow
{
    Q_OBJECT
public:
    DiceGLWindow(const DiceScene &scene, QObject *keyTarget);
    ~DiceGLWindow() override;

    /// The surface format the view asks for: double-buffered 16-bit colour,
    /// a depth buffer, no waiting for the vertical retrace, compatibility GL.
    static QSurfaceFormat requestedFormat();

    int framesDrawn() const { return m_frames; }

    /// Draws and shows a frame now, without waiting for Qt's next update
    /// request (which comes some milliseconds later). Before the first frame,
    /// or while the window is not exposed, it asks for an update instead.
    void renderNow();

Q_SIGNALS:
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void cleanup();

    const DiceScene &m_scene;
    QObject *m_keyTarget;
    DiceRenderer m_renderer;
    int m_frames = 0;
};

} // namespace dorvel::dice3d
