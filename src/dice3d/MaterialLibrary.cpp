#include "MaterialLibrary.h"

#include "platform/JpegDecoder.h"

#include <QFile>
#include <QHash>

namespace dorvel::dice3d {

QStringList MaterialLibrary::names()
{
    return { QStringLiteral("wuerfel"), QStringLiteral("wuerfel2"), QStringLiteral("marmor") };
}

const QImage &MaterialLibrary::picture(const QString &name)
{
    static QHash<QString, QImage> pictures;
    static const QImage none;
    if (!names().contains(name))
        return none;
    auto it = pictures.find(name);
    if (it == pictures.end()) {
        QImage image;
        QFile file(QStringLiteral(":/dice3d/%1.jpg").arg(name));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray data = file.readAll();
            image = platform::decodeJpeg(reinterpret_cast<const std::uint8_t *>(data.constData()),
                static_cast<std::size_t>(data.size()));
        }
        it = pictures.insert(name, image);
    }
    return *it;
}

} // namespace dorvel::dice3d
