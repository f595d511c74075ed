#pragma once

#include "Geometry.h"

#include <QString>

#include <functional>

namespace dorvel::dice3d {

/**
 * What the dice scene and the game share about one object: its name, its tag,
 * its place and its material. Every change calls the scene's change hook, so the
 * view repaints once per batch of changes.
 */
class SceneObject
{
public:
    SceneObject(QString name, int tag, Vector3 position, Vector3 scale, QString material);
    virtual ~SceneObject() = default;
    SceneObject(const SceneObject &) = delete;
    SceneObject &operator=(const SceneObject &) = delete;

    const QString &Name() const { return m_name; }
    int Tag() const { return m_tag; }
    const Vector3 &Position() const { return m_position; }
    void setPositionZ(float z);
    const Vector3 &Scale() const { return m_scale; }
    const QString &LibMaterialName() const { return m_material; }
    void setLibMaterialName(const QString &name);

    /// Object to world: the object's own axes scaled, then moved to Position.
    virtual Matrix4 modelMatrix() const;

    /// Called after every change; the scene sets it.
    void setChangeHook(std::function<void()> hook) { m_changed = std::move(hook); }

protected:
    void notifyChanged();

private:
    QString m_name;
    int m_tag;
    Vector3 m_position;
    Vector3 m_scale;
    QString m_material;
    std::function<void()> m_changed;
};

} // namespace dorvel::dice3d
