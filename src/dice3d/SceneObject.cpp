#include "SceneObject.h"

namespace dorvel::dice3d {

SceneObject::SceneObject(QString name, int tag, Vector3 position, Vector3 scale, QString material)
    : m_name(std::move(name))
    , m_tag(tag)
    , m_position(position)
    , m_scale(scale)
    , m_material(std::move(material))
{
}

void SceneObject::setPositionZ(float z)
{
    if (m_position.z == z)
        return;
    m_position.z = z;
    notifyChanged();
}

void SceneObject::setLibMaterialName(const QString &name)
{
    if (m_material == name)
        return;
    m_material = name;
    notifyChanged();
}

Matrix4 SceneObject::modelMatrix() const
{
    return Matrix4::translation(m_position.x, m_position.y, m_position.z)
        * Matrix4::scaling(m_scale.x, m_scale.y, m_scale.z);
}

void SceneObject::notifyChanged()
{
    if (m_changed)
        m_changed();
}

} // namespace dorvel::dice3d
