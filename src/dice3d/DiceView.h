#pragma once

#include "stage/NativeSurface.h"

#include <QImage>
#include <QWidget>

#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QWindow;

namespace dorvel::dice3d {

class DiceGLWindow;
class DiceRenderer;
class DiceScene;
class SceneObject;

/**
 * `GLSceneViewer1`: the 150×425 OpenGL view of the dice scene. Scene changes
 * mark it for repainting; several changes within one event coalesce into one
 * redraw. A mouse press anywhere in it is reported by mouseDown() in view pixels.
 */
class DiceView : public QWidget, public stage::NativeSurface
{
    Q_OBJECT
public:
    DiceView(DiceScene &scene, QWidget *parent = nullptr);
    ~DiceView() override;

    /// The object nearest the viewer among those drawn within the 2×2-pixel
    /// square centred on view pixel (x, y), origin top left; nullptr for none.
    SceneObject *pick(int x, int y);

    /// Renders the scene off screen at the view's size (for tests and benchmarks).
    QImage renderToImage();
    /// The scene as the view shows it on its screen, in device pixels (its
    /// device-pixel ratio set): what stands in for the GL surface while a
    /// window on the stage covers it.
    QImage stillPicture() override;
    QWidget *surfaceContainer() const override;
    QWindow *surfaceWindow() const override;
    /// The same, each object in its flat DiceRenderer::objectIdColour (for tests).
    QImage renderObjectIds();
    /// What the on-screen surface shows now (null before its first frame).
    QImage grabFramebuffer();
    /// Frames drawn on screen so far.
    int framesDrawn() const;
    /// The native GL surface inside the view; it receives the real mouse presses.
    QWindow *glWindow() const;

Q_SIGNALS:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void frameWanted();
    void drawWantedFrame();
    QImage renderOffscreen(bool objectIds, double pixelRatio = 1.0);
    void releaseOffscreen();

    DiceScene &m_scene;
    DiceGLWindow *m_window = nullptr;
    QWidget *m_container = nullptr;
    bool m_frameWanted = false;
    // Off-screen rendering has a context of its own, made on first use.
    std::unique_ptr<QOffscreenSurface> m_offscreenSurface;
    std::unique_ptr<QOpenGLContext> m_offscreenContext;
    std::unique_ptr<DiceRenderer> m_offscreenRenderer;
};

} // namespace dorvel::dice3d
