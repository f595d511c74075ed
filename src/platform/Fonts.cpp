#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <cmath>

namespace dorvel::platform {

namespace {

    QString &family()
    {
        static QString name = QStringLiteral("DejaVu Sans");
        return name;
    }

} // namespace

void registerFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QStringList files = { QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
        QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf") };
    for (const QString &file : files) {
        const int id = QFontDatabase::addApplicationFont(file);
        if (id >= 0) {
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty())
                family() = families.first();
        }
    }
}

QFont tahomaPixels(int pixelHeight, bool bold, bool underline)
{
    QFont font(family());
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont tahoma(double pointSize, bool bold, bool italic, bool underline)
{
    // The windows were laid out at 96 dots per inch; pixel sizes keep them
    // independent of whatever resolution the X server reports.
    QFont font
        = tahomaPixels(static_cast<int>(std::lround(pointSize * 96.0 / 72.0)), bold, underline);
    font.setItalic(italic);
    return font;
}

} // namespace dorvel::platform
