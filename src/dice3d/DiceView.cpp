// Placeholder view: black, picks nothing.
#include "DiceView.h"

#include "DiceScene.h"

#include <QMouseEvent>

namespace dorvel::dice3d {

DiceView::DiceView(DiceScene &scene, QWidget *parent)
    : QWidget(parent)
    , m_scene(scene)
{
    setObjectName(QStringLiteral("GLSceneViewer1"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
}

DiceView::~DiceView() = default;

SceneObject *DiceView::pick(int, int) { return nullptr; }

QImage DiceView::renderToImage() { return {}; }

} // namespace dorvel::dice3d
