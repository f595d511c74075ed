// Generator for the game table's pictures: the 800×600 JPEG background with the
// score sheet (resource 106 of the resource library) and the 16-colour row arrow
// stored with the game table window.
//
//   gen_table --background <out.jpg>
//   gen_table --arrow <out.bmp>
#include "TablePainter.h"

#include "platform/Fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    dorvel::platform::registerFonts();

    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_table --background <out.jpg> | --arrow <out.bmp>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(QFileInfo(out).absolutePath());
    bool ok = false;
    if (std::strcmp(argv[1], "--background") == 0)
        ok = dorvel::tools::paintTableBackground().save(out, "JPEG", 92);
    else if (std::strcmp(argv[1], "--arrow") == 0)
        ok = dorvel::tools::paintRowArrow().save(out, "BMP");
    if (!ok) {
        std::fprintf(stderr, "gen_table: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
