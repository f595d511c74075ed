// Test entry shared by every test executable: window tests need a QApplication,
// but listing the tests at build time must work without a display.
#include "platform/Fonts.h"
#include "platform/SanitizerSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

// The application the tests run under; a test executable that needs the program's
// own application class defines this function itself.
__attribute__((weak)) std::unique_ptr<QApplication> makeTestApplication(int &argc, char **argv)
{
    return std::make_unique<QApplication>(argc, argv);
}

int main(int argc, char **argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            listing = true;
    }
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> app;
    if (!listing) {
        dorvel::platform::keepGlDriverLoadedForLeakChecks();
        app = makeTestApplication(argc, argv);
        dorvel::platform::registerFonts();
    }
    return RUN_ALL_TESTS();
}
