// The player-names dialog: rows by player count, defaults for empty fields on
// OK only, the name length, and that only OK and Escape can close it.
#include "dialogs/TfrmSpieler.h"
#include "app/AppTestSupport.h"
#include "platform/MessageTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace dorvel;
using dialogs::TfrmSpieler;

namespace {

struct NamesDialog : testing::Test
{
    /// Shows the dialog modally; `act` runs once it is up and must end it.
    int run(TfrmSpieler &dialog, const std::function<void(TfrmSpieler &)> &act)
    {
        int result = -1;
        test::withModals({ [&](QWidget *) { act(dialog); } }, [&] { result = dialog.exec(); });
        return result;
    }

    QStringList texts(const TfrmSpieler &dialog)
    {
        QStringList result;
        for (int n = 1; n <= 4; ++n)
            result << dialog.findChild<QLineEdit *>(QStringLiteral("efdSpieler%1").arg(n))->text();
        return result;
    }

    test::MessageRecorder boxes;
    resources::MemoryResourceLoader library = test::smallLibrary();
};

TEST_F(NamesDialog, OnePlayerShowsOneRowAndDefaultsItsName)
{
    TfrmSpieler dialog(library);
    dialog.playerCount = 1;
    bool rowsAsExpected = false;
    const int result = run(dialog, [&](TfrmSpieler &d) {
        rowsAsExpected = d.Label[0]->isVisible() && d.efdSpieler[0]->isVisible()
            && !d.Label[1]->isVisible() && !d.efdSpieler[1]->isVisible() && !d.Label[3]->isVisible()
            && !d.efdSpieler[3]->isVisible() && d.focusWidget() == d.efdSpieler[0];
        QTest::mouseClick(d.SpeedButton1, Qt::LeftButton);
    });
    EXPECT_TRUE(rowsAsExpected);
    EXPECT_EQ(result, TfrmSpieler::kResultOk);
    EXPECT_EQ(texts(dialog), (QStringList { "Spieler 1", "", "", "" }));
    EXPECT_FALSE(dialog.imgSpielerBckGrnd->pixmap().isNull());
    EXPECT_EQ(dialog.findChild<QLabel *>("Label3")->text(), QStringLiteral("Spieler 3:"));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(NamesDialog, FourPlayersKeepTypedNamesAndBlanks)
{
    TfrmSpieler dialog(library);
    dialog.playerCount = 4;
    const int result = run(dialog, [](TfrmSpieler &d) {
        QTest::keyClick(d.efdSpieler[0], Qt::Key_Tab);
        QTest::keyClicks(d.focusWidget(), QStringLiteral("Joerg"));
        QTest::keyClicks(d.efdSpieler[3], QStringLiteral("  "));
        QTest::mouseClick(d.SpeedButton1, Qt::LeftButton);
    });
    EXPECT_EQ(result, TfrmSpieler::kResultOk);
    EXPECT_EQ(texts(dialog), (QStringList { "Spieler 1", "Joerg", "Spieler 3", "  " }));
}

TEST_F(NamesDialog, EleventhCharacterIsRefused)
{
    TfrmSpieler dialog(library);
    dialog.show();
    QTest::keyClicks(dialog.efdSpieler[0], QStringLiteral("Maximilian!"));
    EXPECT_EQ(dialog.efdSpieler[0]->text(), QStringLiteral("Maximilian"));
}

TEST_F(NamesDialog, EscapeFromAnyFieldCancelsWithoutDefaults)
{
    TfrmSpieler dialog(library);
    dialog.playerCount = 3;
    const int result = run(dialog, [](TfrmSpieler &d) {
        QTest::keyClicks(d.efdSpieler[1], QStringLiteral("Eva"));
        QTest::keyClick(d.efdSpieler[1], Qt::Key_Escape);
    });
    EXPECT_EQ(result, TfrmSpieler::kResultCancel);
    EXPECT_EQ(texts(dialog), (QStringList { "", "Eva", "", "" }));
}

TEST_F(NamesDialog, EnterAndOtherClosingAttemptsLeaveItOpen)
{
    TfrmSpieler dialog(library);
    dialog.playerCount = 2;
    bool stillOpen = false;
    const int result = run(dialog, [&](TfrmSpieler &d) {
        QTest::keyClicks(d.efdSpieler[0], QStringLiteral("Ida"));
        QTest::keyClick(d.efdSpieler[0], Qt::Key_Return);
        QTest::keyClick(d.efdSpieler[1], Qt::Key_Enter);
        QTest::keyClick(&d, Qt::Key_Return);
        const bool closed = d.close();
        d.reject();
        d.accept();
        stillOpen = !closed && d.isVisible() && d.efdSpieler[1]->text().isEmpty();
        QTest::keyClick(d.efdSpieler[0], Qt::Key_Escape);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, TfrmSpieler::kResultCancel);
    EXPECT_EQ(texts(dialog), (QStringList { "Ida", "", "", "" }));
}

TEST_F(NamesDialog, MissingLibraryIsReportedToTheCaller)
{
    resources::MissingResourceLoader missing;
    TfrmSpieler dialog(missing);
    EXPECT_TRUE(dialog.libraryMissing());
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].kind, stage::MessageKind::Error);
    EXPECT_EQ(boxes.messages[0].text, dorvel::platform::libraryMissingEndingText());
}

} // namespace
