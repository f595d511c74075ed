#pragma once

#include <QImage>
#include <QWidget>

namespace dorvel::dice3d {

class DiceScene;
class SceneObject;

/**
 * `GLSceneViewer1`: the 150×425 OpenGL view of the dice scene. Scene changes
 * mark it for repainting; several changes within one event coalesce into one
 * redraw. A mouse press anywhere in it is reported by mouseDown() in view pixels.
 */
class DiceView : public QWidget
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

Q_SIGNALS:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

private:
    DiceScene &m_scene;
};

} // namespace dorvel::dice3d
