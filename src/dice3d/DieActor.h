#pragma once

#include "SceneObject.h"

#include <memory>

namespace dorvel::platform {
class ResourceStream;
}

namespace dorvel::dice3d {

struct DieMesh;

/// An orthonormal frame: the die's right axis, Up and Direction.
struct Frame
{
    Vector3 right { 1, 0, 0 };
    Vector3 up { 0, 1, 0 };
    Vector3 direction { 0, 0, 1 };
};

/**
 * One die of the scene (`actWuerfel1` .. `actWuerfel5`). Setting an angle to a
 * new value rotates the die by the change about its own current axis; setting
 * the value it already holds changes nothing.
 */
class DieActor : public SceneObject
{
public:
    DieActor(int number, Vector3 position);
    ~DieActor() override;

    float PitchAngle() const { return m_pitch; }
    float TurnAngle() const { return m_turn; }
    float RollAngle() const { return m_roll; }
    void setPitchAngle(float degrees);
    void setTurnAngle(float degrees);
    void setRollAngle(float degrees);

    /// The die's current frame in world axes.
    const Frame &frame() const { return m_frame; }

    /// Loads the mesh from the start of the stream; the reader is chosen by the
    /// file name's extension. On failure the die is left without a mesh.
    bool LoadFromStream(const QString &fileName, platform::ResourceStream &stream);
    const DieMesh *mesh() const { return m_mesh.get(); }

private:
    float m_pitch = 0.0f;
    float m_turn = 0.0f;
    float m_roll = 0.0f;
    Frame m_frame;
    std::shared_ptr<const DieMesh> m_mesh;
};

} // namespace dorvel::dice3d
