#include "MaterialLibrary.h"

#include "resources/JpegDecoder.h"

#include <QFile>
#include <QHash>

namespace dorvel::dice3d {

QStringList MaterialLibrary::names()
{
    return { QStringLiteral("wuerfel"), QStringLiteral("wuerfel2"), QStringLiteral("marmor") };
}

// All three are decoded together at the first call and never change after, so
// threads may ask at once (the dice view's context is prepared on a worker).
const QImage &MaterialLibrary::picture(const QString &name)
{
    static const QHash<QString, QImage> pictures = [] {
        QHash<QString, QImage> decoded;
        for (const QString &each : names()) {
            QImage image;
            QFile file(QStringLiteral(":/dice3d/%1.jpg").arg(each));
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray data = file.readAll();
                image = resources::decodeJpeg(
                    reinterpret_cast<const std::uint8_t *>(data.constData()),
                    static_cast<std::size_t>(data.size()));
            }
            decoded.insert(each, image);
        }
        return decoded;
    }();
    static const QImage none;
    const auto it = pictures.constFind(name);
    return it == pictures.constEnd() ? none : *it;
}

} // namespace dorvel::dice3d
