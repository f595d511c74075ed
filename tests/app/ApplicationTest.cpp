// An error that escapes an event handler lands in the application's standard
// error box: titled with the application title, the text with a full stop. This
// executable runs under the program's own application class, so the errors take
// the real road, through its notify().
#include "AppTestSupport.h"
#include "app/DorvelApplication.h"

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
        EXPECT_EQ(box.kind, platform::MessageKind::Error);
        EXPECT_EQ(box.title, QStringLiteral("Halvenor Dorvel DAVED"));
    }
    EXPECT_EQ(boxes.messages[0].text, QStringLiteral("Unsupported video mode."));
    EXPECT_EQ(boxes.messages[1].text, QStringLiteral("Unbekannter Fehler."));
}
