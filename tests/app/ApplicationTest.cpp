// An error that escapes an event handler lands in the application's standard
// error box: titled with the application title, the text with a full stop. This
// executable runs under the program's own application class, so the errors take
// the real road, through its notify(). The toolkit options on the command line
// still count when the application object is made a second time.
#include "AppTestSupport.h"
#include "app/DorvelApplication.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace dorvel;

std::unique_ptr<QApplication> makeTestApplication(int &argc, char **argv)
{
    return std::make_unique<app::DorvelApplication>(argc, argv);
}

TEST(StandardErrorBox, EscapingErrorsAreShownAndHandlingGoesOn)
{
    struct Thrower final : QObject
    {
        int events = 0;
        bool event(QEvent *) override
        {
            if (++events == 1)
                throw std::runtime_error("Unsupported video mode");
            throw 42;
        }
    } thrower;
    test::MessageRecorder boxes;
    QEvent first(QEvent::User);
    QEvent second(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &first));
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &second));
    ASSERT_EQ(boxes.messages.size(), 2u);
    for (const auto &box : boxes.messages) {
        EXPECT_EQ(box.kind, stage::MessageKind::Error);
        EXPECT_EQ(box.title, QStringLiteral("Halvenor Dorvel DAVED"));
    }
    EXPECT_EQ(boxes.messages[0].text, QStringLiteral("Unsupported video mode."));
    EXPECT_EQ(boxes.messages[1].text, QStringLiteral("Unbekannter Fehler."));
}

// The probe's display makes the application object twice, the second time with
// scale factor 2. Its environment names another platform and no display that
// exists: only the options can bring it to the one asked for.
TEST(ApplicationArguments, PlatformAndDisplayOptionsCountForTheSecondObject)
{
    const QString display = qEnvironmentVariable("DISPLAY");
    ASSERT_FALSE(display.isEmpty()) << "runs on the suite's X server";
    struct Case
    {
        QStringList arguments;
        QString platformInEnvironment;
        QString expected;
    };
    const std::vector<Case> cases {
        { { "-platform", "offscreen" }, "xcb", "offscreen 2" },
        { { "-platform", "xcb", "-display", display }, "offscreen", "xcb 2" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", c.platformInEnvironment);
        environment.insert("DISPLAY", ":no-such-display");
        environment.remove("QT_SCALE_FACTOR");
        environment.remove("WAYLAND_DISPLAY");
        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(QStringLiteral(DORVEL_ARGUMENTS_PROBE), c.arguments);
        ASSERT_TRUE(probe.waitForFinished(30000));
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), c.expected);
    }
}
