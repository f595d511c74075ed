// Shows the high-score window over the "dorvel.cfg" of the current folder, or
// over a sample list with --sample (written to that file first), for looking
// at it and for screenshots.
#include "dialogs/TfrmHighscore.h"
#include "platform/Fonts.h"
#include "storage/ConfigRecord.h"

#include <QApplication>
#include <QTimer>

#include <cstring>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    dorvel::platform::registerFonts();
    bool sample = false;
    int closeAfterMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sample") == 0)
            sample = true;
        else if (std::strcmp(argv[i], "--close-after") == 0 && i + 1 < argc)
            closeAfterMs = std::atoi(argv[++i]);
    }
    if (sample) {
        using namespace dorvel::storage;
        ConfigRecord record;
        const char *names[] = { "Großmutter", "Jürgen", "Anna", "Wolfgang", "Ölmüller", "Bea",
            "Maximilian", "Kai", "Zoë", "Thorsten", "Li", "Renée", "Fritz", "Hanna", "Ede",
            "Gustav", "Ina", "Otto", "Peter", "" };
        for (int k = 0; k < kHighscoreCount; ++k) {
            record.highscores[k].setName(QString::fromUtf8(names[k]));
            record.highscores[k].points = 1375 - 61 * k;
        }
        record.highscores[19].points = -12;
        writeConfig(kConfigFileName, record);
    }
    dorvel::dialogs::TfrmHighscore window;
    if (closeAfterMs > 0)
        QTimer::singleShot(closeAfterMs, &window, &QWidget::close);
    window.exec();
    return window.playAgain ? 0 : 1;
}
