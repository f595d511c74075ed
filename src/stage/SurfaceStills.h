#pragma once

#include <QPointer>
#include <QRect>

#include <map>
#include <vector>

class QLabel;
class QWidget;

namespace dorvel::stage {

class NativeSurface;

/// The widgets on `stage` that show a native surface of their own.
std::vector<NativeSurface *> nativeSurfacesOn(const QWidget *stage);

/**
 * Still pictures standing in for native surfaces while a window on the stage
 * covers them: a native surface would lie above the window whatever its
 * stacking, so it is hidden and a label with its picture takes its place.
 */
class SurfaceStills
{
public:
    /// Replaces every visible native surface on `stage` that is not inside
    /// `window` and meets `covered` (stage coordinates), until thaw(window).
    void freezeBeneath(const QWidget *stage, const QWidget *window, QRect covered);
    /// Shows again what freezeBeneath(window) hid, and drops its pictures.
    void thaw(const QWidget *window);

private:
    struct Frozen
    {
        QPointer<QWidget> container;
        QPointer<QLabel> still;
    };
    std::map<const QWidget *, std::vector<Frozen>> m_frozen;
};

} // namespace dorvel::stage
