#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace dorvel::dice3d {

/**
 * `GLMaterialLibrary1`: the pictures of the three materials, "wuerfel" (free
 * dice), "wuerfel2" (held dice) and "marmor" (the slab), decoded from the JPEG
 * data carried in the program's resources. The view turns them into textures.
 */
class MaterialLibrary
{
public:
    /// The names of all materials.
    static QStringList names();
    /// The decoded picture of a material; a null image for an unknown name or
    /// undecodable data. Decoded once and kept.
    static const QImage &picture(const QString &name);
};

} // namespace dorvel::dice3d
