#pragma once

#include "DieActor.h"
#include "Projection.h"

#include <QObject>

#include <array>
#include <memory>

namespace dorvel::dice3d {

struct DieMesh;

/**
 * `GLScene1`: the five dice, the marble slab `Plane1` and the camera. Every
 * change to an object emits changed(); turning many changes into one frame per
 * event-loop pass is the view's business.
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
    /// Which die an object is, 1..5; 0 for the slab or an object not of this scene.
    int dieNumber(const SceneObject *object) const;

    /// Every drawn object in scene order: the five dice, then the slab.
    std::array<SceneObject *, 6> objects();
    std::array<const SceneObject *, 6> objects() const;
    /// What an object is drawn as: a die's model (nullptr while it has none)
    /// or the slab's rectangle.
    const DieMesh *meshOf(const SceneObject &object) const;

Q_SIGNALS:
    void changed();

private:
    std::array<std::unique_ptr<DieActor>, 5> m_dice;
    std::unique_ptr<SceneObject> m_plane;
    Camera m_camera;
};

} // namespace dorvel::dice3d
