// Start-up and the way into a game, mirroring main(), with a breakdown.
#include "Harness.h"
#include "Scenarios.h"
#include "TimedSoundLibrary.h"

#include "app/DorvelApplication.h"
#include "app/TfrmDorvel20Main.h"
#include "dialogs/TfrmSpieler.h"
#include "dice3d/DiceGLWindow.h"
#include "dice3d/DiceView.h"
#include "display/DisplayMode.h"
#include "game/TfrmDorvel20Game.h"
#include "platform/Fonts.h"
#include "sound/OpenAlSoundLibrary.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace inproc {

/// One start-up in this process: prints "T <name> <ms since main()>" lines.
int startupOnce(int argc, char **argv)
{
    const long long mainEntered = monotonicNs();
    std::vector<std::pair<std::string, long long>> marks;
    auto mark = [&](const std::string &name) { marks.emplace_back(name, monotonicNs()); };

    const auto displayModes = display::createSystemDisplayModes();
    mark("display modes created");
    bench::TimedSoundLibrary sound(sound::createOpenAlSoundLibrary(app::kSoundFrequency));
    mark("sound library created (device opening ahead)");
    app::DorvelApplication application(argc, argv);
    mark("application created");
    platform::registerFonts();
    mark("fonts registered");

    FirstEventStamp stamps;
    application.installEventFilter(&stamps);

    long long mainPainted = 0;
    long long namesOk = 0;
    long long tableShown = 0;
    long long tablePainted = 0;
    long long diceSwapped = 0;
    QPointer<game::TfrmDorvel20Game> table;

    StampedDisplayModes stampedModes(*displayModes);
    TimedResourceLoader resources;
    const long long formCreate = monotonicNs();
    app::TfrmDorvel20Main main(sound, resources, platform::systemClock(), stampedModes);
    mark("start screen created (FormCreate)");
    const long long formCreated = monotonicNs();
    const bench::TimedSoundLibrary::Totals startupSound = sound.totals();
    if (main.startFailed()) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }

    auto finish = [&] {
        if (table)
            table->close();
        main.close();
        application.quit();
    };

    stamps.onFirst = [&](QObject *watched, QEvent *event) {
        const QString name = watched->objectName();
        if (name == QLatin1String("frmDorvel20Main") && event->type() == QEvent::Paint) {
            // After the paint event come the flush and the next loop pass.
            QTimer::singleShot(0, [&] {
                mainPainted = monotonicNs();
                // Give the window a moment, then go into a game as a player would.
                QTimer::singleShot(300, [&] {
                    QTimer::singleShot(200, [&] {
                        auto *names = qobject_cast<dialogs::TfrmSpieler *>(
                            QApplication::activeModalWidget());
                        if (!names) {
                            std::fprintf(stderr, "no names dialog\n");
                            finish();
                            return;
                        }
                        namesOk = monotonicNs();
                        names->SpeedButton1->click();
                    });
                    main.imgOKClick();
                    // The game has closed again.
                    finish();
                });
            });
        } else if (name == QLatin1String("frmDorvel20Game") && event->type() == QEvent::Show) {
            tableShown = monotonicNs();
            table = qobject_cast<game::TfrmDorvel20Game *>(watched);
            if (table) {
                if (auto *gl
                    = qobject_cast<dice3d::DiceGLWindow *>(table->GLSceneViewer1->glWindow())) {
                    QObject::connect(gl, &dice3d::DiceGLWindow::frameSwapped, gl, [&] {
                        if (!diceSwapped)
                            diceSwapped = monotonicNs();
                    });
                }
            }
        } else if (name == QLatin1String("frmDorvel20Game") && event->type() == QEvent::Paint) {
            QTimer::singleShot(0, [&] {
                tablePainted = monotonicNs();
                QTimer::singleShot(500, [&] {
                    if (table)
                        table->close();
                });
            });
        }
    };

    QObject::connect(
        &main, &app::TfrmDorvel20Main::closed, &application, [&] { application.quit(); });
    main.show();
    main.activateWindow();
    mark("start screen shown");
    QTimer::singleShot(20000, [&] { finish(); }); // a safety net
    application.exec();
    main.close();

    for (const auto &[name, at] : marks)
        std::printf("T\t%s\t%.3f\n", name.c_str(), ms(at - mainEntered));
    auto stamp = [&](const char *name, long long at) {
        if (at)
            std::printf("T\t%s\t%.3f\n", name, ms(at - mainEntered));
    };
    stamp("start screen first paint (event)",
        stamps.at(QStringLiteral("frmDorvel20Main"), QEvent::Paint));
    stamp("start screen first frame (after paint)", mainPainted);
    for (const auto &[call, total] : startupSound.byCall)
        std::printf("S\t%s\t%.3f\t%d\n", call.c_str(), ms(total.ns), total.count);
    // Inside FormCreate: the viewer's activation runs from the first display-mode
    // call to the music's first play (music is on in the scratch settings).
    const auto play = startupSound.byCall.find("BASS_SamplePlay");
    if (stampedModes.firstCall && play != startupSound.byCall.end())
        std::printf("S\t%s\t%.3f\t1\n", "full-screen viewer activation (GL backdrop)",
            ms(play->second.firstAt - stampedModes.firstCall));
    if (stampedModes.firstCall) {
        long long soundNs = 0;
        for (const auto &[call, total] : startupSound.byCall)
            soundNs += total.ns;
        const long long viewer
            = play != startupSound.byCall.end() ? play->second.firstAt - stampedModes.firstCall : 0;
        std::printf("S\t%s\t%.3f\t1\n", "resource library search and mapping", ms(resources.ns));
        std::printf("S\t%s\t%.3f\t1\n",
            "rest of FormCreate (background JPEG, pictures, settings file)",
            ms(formCreated - formCreate - soundNs - viewer - resources.ns));
    }
    if (namesOk) {
        auto since = [&](const char *name, long long at) {
            if (at)
                std::printf("G\t%s\t%.3f\n", name, ms(at - namesOk));
        };
        since("game table shown", tableShown);
        since("game table first paint (event)",
            stamps.at(QStringLiteral("frmDorvel20Game"), QEvent::Paint));
        since("game table first frame (after paint)", tablePainted);
        since("dice view first frame swapped", diceSwapped);
    }
    const bench::TimedSoundLibrary::Totals all = sound.totals();
    for (const auto &[call, total] : all.byCall) {
        const auto before = startupSound.byCall.find(call);
        const long long ns
            = total.ns - (before == startupSound.byCall.end() ? 0 : before->second.ns);
        const int count
            = total.count - (before == startupSound.byCall.end() ? 0 : before->second.count);
        if (count > 0)
            std::printf("GS\t%s\t%.3f\t%d\n", call.c_str(), ms(ns), count);
    }
    return 0;
}

/// Runs startupOnce in fresh processes and prints the medians.
int startup(const char *self, int runs)
{
    std::map<std::string, std::vector<double>> byMark[4];
    const char *prefixes[4] = { "T", "S", "G", "GS" };
    std::vector<std::string> order[4];
    for (int run = 0; run < runs; ++run) {
        const std::string command = std::string("'") + self + "' startup-once";
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe)
            throw std::runtime_error("popen failed");
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n')
                text.pop_back();
            const auto tab1 = text.find('\t');
            const auto tab2 = text.find('\t', tab1 + 1);
            if (tab1 == std::string::npos || tab2 == std::string::npos)
                continue;
            const std::string prefix = text.substr(0, tab1);
            const std::string name = text.substr(tab1 + 1, tab2 - tab1 - 1);
            const double value = std::stod(text.substr(tab2 + 1));
            for (int k = 0; k < 4; ++k) {
                if (prefix == prefixes[k]) {
                    if (!byMark[k].count(name))
                        order[k].push_back(name);
                    byMark[k][name].push_back(value);
                }
            }
        }
        pclose(pipe);
    }
    for (const std::string &name : order[0])
        bench::printRunsRow("In process, main() to " + name, byMark[0][name], "ms", "-");
    for (const std::string &name : order[1])
        bench::printRunsRow("  start-up: " + name, byMark[1][name], "ms", "-");
    for (const std::string &name : order[2])
        bench::printRunsRow("In process, names OK to " + name, byMark[2][name], "ms", "-",
            name.find("first") != std::string::npos ? "B" : "-");
    for (const std::string &name : order[3])
        bench::printRunsRow(
            "  sound " + name + " (names OK to game closed)", byMark[3][name], "ms", "-");
    return 0;
}

} // namespace inproc
