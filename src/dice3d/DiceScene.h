#pragma once

#include "DieActor.h"

#include <QObject>

#include <array>
#include <memory>

namespace dorvel::dice3d {

/// The fixed camera `GLCamera1`: at (0, 0, 25) looking along -z.
struct Camera
{
    Vector3 position { 0, 0, 25 };
    float focalLength = 280.0f;
    float depthOfView = 100.0f;
};

/**
 * `GLScene1`: the five dice, the marble slab `Plane1` and the camera. Any change
 * to an object emits changed() once per event-loop pass at most is the view's
 * business; the scene just reports every change.
 */
class DiceScene : public QObject
{
    Q_OBJECT
public:
    explicit DiceScene(QObject *parent = nullptr);
    ~DiceScene() override;

    /// Die n = 1..5 (`actWuerfel<n>`).
    DieActor &die(int n) { return *m_dice.at(static_cast<std::size_t>(n - 1)); }
    const DieActor &die(int n) const { return *m_dice.at(static_cast<std::size_t>(n - 1)); }
    SceneObject &plane() { return *m_plane; }
    const SceneObject &plane() const { return *m_plane; }
    const Camera &camera() const { return m_camera; }

Q_SIGNALS:
    void changed();

private:
    std::array<std::unique_ptr<DieActor>, 5> m_dice;
    std::unique_ptr<SceneObject> m_plane;
    Camera m_camera;
};

} // namespace dorvel::dice3d
