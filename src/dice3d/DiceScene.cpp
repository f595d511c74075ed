#include "DiceScene.h"

namespace dorvel::dice3d {

DiceScene::DiceScene(QObject *parent)
    : QObject(parent)
{
    for (int n = 1; n <= 5; ++n) {
        auto &die = m_dice[static_cast<std::size_t>(n - 1)];
        die = std::make_unique<DieActor>(n, Vector3 { 0.0f, static_cast<float>(n - 3), 0.5f });
        die->setChangeHook([this] { Q_EMIT changed(); });
    }
    m_plane = std::make_unique<SceneObject>(QStringLiteral("Plane1"), 0, Vector3 { 0, 0, -6 },
                                            Vector3 { 2.5f, 2.5f, 1.0f },
                                            QStringLiteral("marmor"));
    m_plane->setChangeHook([this] { Q_EMIT changed(); });
}

DiceScene::~DiceScene() = default;

} // namespace dorvel::dice3d
