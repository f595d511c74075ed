#include "DiceScene.h"

#include "DieMesh.h"

namespace dorvel::dice3d {

DiceScene::DiceScene(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("GLScene1"));
    for (int n = 1; n <= 5; ++n) {
        auto &die = m_dice[static_cast<std::size_t>(n - 1)];
        die = std::make_unique<DieActor>(n, Vector3 { 0.0f, static_cast<float>(n - 3), 0.5f });
        die->setChangeHook([this] { Q_EMIT changed(); });
    }
    m_plane = std::make_unique<SceneObject>(QStringLiteral("Plane1"), 0, Vector3 { 0, 0, -6 },
        Vector3 { 2.5f, 2.5f, 1.0f }, QStringLiteral("marmor"));
    m_plane->setChangeHook([this] { Q_EMIT changed(); });
}

DiceScene::~DiceScene() = default;

std::array<SceneObject *, 6> DiceScene::objects()
{
    return { m_dice[0].get(), m_dice[1].get(), m_dice[2].get(), m_dice[3].get(), m_dice[4].get(),
        m_plane.get() };
}

std::array<const SceneObject *, 6> DiceScene::objects() const
{
    return { m_dice[0].get(), m_dice[1].get(), m_dice[2].get(), m_dice[3].get(), m_dice[4].get(),
        m_plane.get() };
}

int DiceScene::dieNumber(const SceneObject *object) const
{
    for (std::size_t i = 0; i < m_dice.size(); ++i) {
        if (object == m_dice[i].get())
            return static_cast<int>(i) + 1;
    }
    return 0;
}

const DieMesh *DiceScene::meshOf(const SceneObject &object) const
{
    if (&object == m_plane.get())
        return &slabMesh();
    for (const auto &die : m_dice) {
        if (&object == die.get())
            return die->mesh();
    }
    return nullptr;
}

} // namespace dorvel::dice3d
