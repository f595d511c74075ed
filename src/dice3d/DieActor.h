#pragma once

#include "SceneObject.h"

#include <array>
#include <memory>

namespace dorvel::resources {
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

    /// Maps the model's x to the right axis, y to Up and z to Direction,
    /// scaled, then moved to Position.
    Matrix4 modelMatrix() const override;

    /// Loads the mesh from the start of the stream; the reader is chosen by the
    /// file name's extension. On failure the die is left without a mesh.
    bool LoadFromStream(const QString &fileName, resources::ResourceStream &stream);
    const DieMesh *mesh() const { return m_mesh.get(); }
    /// Gives the die a mesh read elsewhere (nullptr: none).
    void setMesh(std::shared_ptr<const DieMesh> mesh);

private:
    struct Axes
    {
        std::array<double, 3> right { 1, 0, 0 };
        std::array<double, 3> up { 0, 1, 0 };
        std::array<double, 3> direction { 0, 0, 1 };
    };
    // Turns `from` toward `toward` by the angle about their common normal.
    static void rotatePair(
        std::array<double, 3> &from, std::array<double, 3> &toward, double degrees);
    void rotated();

    float m_pitch = 0.0f;
    float m_turn = 0.0f;
    float m_roll = 0.0f;
    Axes m_axes; // kept in double so long games do not drift
    Frame m_frame;
    std::shared_ptr<const DieMesh> m_mesh;
};

} // namespace dorvel::dice3d
