// An error that escapes an event handler lands in the application's standard
// error box: titled with the application title, the text with a full stop.
#include "AppTestSupport.h"
#include "app/DorvelApplication.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace dorvel;

TEST(StandardErrorBox, EscapingErrorsAreShownAndHandlingGoesOn)
{
    test::MessageRecorder boxes;
    EXPECT_TRUE(app::runHandler(nullptr, [] {}));
    EXPECT_FALSE(
        app::runHandler(nullptr, [] { throw std::runtime_error("Unsupported video mode"); }));
    EXPECT_FALSE(app::runHandler(nullptr, [] { throw 42; }));
    ASSERT_EQ(boxes.messages.size(), 2u);
    for (const auto &box : boxes.messages) {
        EXPECT_EQ(box.kind, platform::MessageKind::Error);
        EXPECT_EQ(box.title, QStringLiteral("Halvenor Dorvel DAVED"));
    }
    EXPECT_EQ(boxes.messages[0].text, QStringLiteral("Unsupported video mode."));
    EXPECT_EQ(boxes.messages[1].text, QStringLiteral("Unbekannter Fehler."));
}
