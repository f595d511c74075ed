#include "SurfaceStills.h"

#include "NativeSurface.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace dorvel::stage {

std::vector<NativeSurface *> nativeSurfacesOn(const QWidget *stage)
{
    std::vector<NativeSurface *> found;
    for (QWidget *widget : stage->findChildren<QWidget *>()) {
        if (auto *surface = dynamic_cast<NativeSurface *>(widget))
            found.push_back(surface);
    }
    return found;
}

void SurfaceStills::freezeBeneath(const QWidget *stage, const QWidget *window, QRect covered)
{
    std::vector<Frozen> &frozen = m_frozen[window];
    for (NativeSurface *surface : nativeSurfacesOn(stage)) {
        QWidget *container = surface->surfaceContainer();
        if (container == nullptr || !container->isVisible() || window->isAncestorOf(container))
            continue;
        const QRect place(container->mapTo(stage, QPoint(0, 0)), container->size());
        if (!place.intersects(covered))
            continue;
        const QImage picture = surface->stillPicture();
        auto *still = new QLabel(container->parentWidget());
        still->setObjectName(QStringLiteral("stillPicture"));
        still->setGeometry(container->geometry());
        still->setScaledContents(false);
        if (!picture.isNull())
            still->setPixmap(QPixmap::fromImage(picture));
        still->show();
        container->hide();
        frozen.push_back({ container, still });
    }
}

void SurfaceStills::thaw(const QWidget *window)
{
    const auto it = m_frozen.find(window);
    if (it == m_frozen.end())
        return;
    for (Frozen &frozen : it->second) {
        if (frozen.container)
            frozen.container->show();
        delete frozen.still.data();
    }
    m_frozen.erase(it);
}

} // namespace dorvel::stage
