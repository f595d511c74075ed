// Placeholder: angles are stored, the frame is not yet rotated, no mesh loads.
#include "DieActor.h"

namespace dorvel::dice3d {

struct DieMesh
{
};

DieActor::DieActor(int number, Vector3 position)
    : SceneObject(QStringLiteral("actWuerfel%1").arg(number), number, position,
                  Vector3 { 0.015f, 0.015f, 0.015f }, QStringLiteral("wuerfel"))
{
}

DieActor::~DieActor() = default;

void DieActor::setPitchAngle(float degrees)
{
    if (m_pitch == degrees)
        return;
    m_pitch = degrees;
    notifyChanged();
}

void DieActor::setTurnAngle(float degrees)
{
    if (m_turn == degrees)
        return;
    m_turn = degrees;
    notifyChanged();
}

void DieActor::setRollAngle(float degrees)
{
    if (m_roll == degrees)
        return;
    m_roll = degrees;
    notifyChanged();
}

bool DieActor::LoadFromStream(const QString &, platform::ResourceStream &) { return false; }

} // namespace dorvel::dice3d
