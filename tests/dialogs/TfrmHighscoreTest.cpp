// Pins down the high-score window: its twenty rows filled from a fresh read of
// "dorvel.cfg", its layout, and how its buttons and Escape set playAgain.
#include "support/Files.h"
#include "support/TempDir.h"

#include "dialogs/TfrmHighscore.h"
#include "storage/ConfigRecord.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace dorvel::storage;
using namespace dorvel::test;
using dorvel::dialogs::TfrmHighscore;

namespace {

QLabel *cell(const TfrmHighscore &window, const QString &name)
{
    auto *label = window.findChild<QLabel *>(name);
    EXPECT_NE(label, nullptr) << name.toStdString();
    return label;
}

ConfigRecord sampleList()
{
    ConfigRecord record;
    for (int k = 1; k <= kHighscoreCount; ++k) {
        record.highscores[k - 1].setName(QStringLiteral("Name%1").arg(k));
        record.highscores[k - 1].points = 400 - 15 * k;
    }
    record.highscores[0].setName(QStringLiteral("Jürgen"));
    record.highscores[1].setName(QStringLiteral("<b>Ärger</b>")); // plain text, cut to 10
    record.highscores[19].points = -37;
    return record;
}

struct OpenWindow
{
    TfrmHighscore window;
    OpenWindow()
    {
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

} // namespace

TEST(TfrmHighscore, RowsComeFromTheFile)
{
    ScopedCurrentDir dir;
    const ConfigRecord record = sampleList();
    ASSERT_TRUE(writeConfig(kConfigFileName, record));
    const Bytes before = readBytes(kConfigFileName);

    TfrmHighscore window;
    EXPECT_FALSE(window.playAgain);
    EXPECT_EQ(cell(window, "lblName1")->text(), QStringLiteral("Jürgen"));
    EXPECT_EQ(cell(window, "lblPunkte1")->text(), QStringLiteral("385"));
    EXPECT_EQ(cell(window, "lblName2")->text(), QStringLiteral("<b>Ärger</"));
    EXPECT_EQ(cell(window, "lblName2")->textFormat(), Qt::PlainText);
    EXPECT_EQ(cell(window, "lblName7")->text(), QStringLiteral("Name7"));
    EXPECT_EQ(cell(window, "lblPunkte7")->text(), QStringLiteral("295"));
    EXPECT_EQ(cell(window, "lblName20")->text(), QStringLiteral("Name20"));
    EXPECT_EQ(cell(window, "lblPunkte20")->text(), QStringLiteral("-37"));
    // Looking is all the window does with the file.
    EXPECT_EQ(readBytes(kConfigFileName), before);
}

TEST(TfrmHighscore, MissingFileShowsTwentyEmptyRows)
{
    ScopedCurrentDir dir;
    TfrmHighscore window;
    for (int row = 1; row <= kHighscoreCount; ++row) {
        EXPECT_EQ(cell(window, QStringLiteral("lblName%1").arg(row))->text(), QString()) << row;
        EXPECT_EQ(cell(window, QStringLiteral("lblPunkte%1").arg(row))->text(), QStringLiteral("0"))
            << row;
    }
    EXPECT_FALSE(std::filesystem::exists(kConfigFileName));
}

TEST(TfrmHighscore, LayoutFollowsTheWindowDefinition)
{
    ScopedCurrentDir dir;
    ASSERT_TRUE(writeConfig(kConfigFileName, sampleList()));
    OpenWindow open;
    TfrmHighscore &window = open.window;

    EXPECT_EQ(window.objectName(), QStringLiteral("frmHighscore"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Highscore"));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.frameGeometry(), QRect(595, 70, 190, 464));
    EXPECT_EQ(window.findChild<QWidget *>("Panel1")->geometry(), QRect(3, 3, 184, 458));

    EXPECT_EQ(cell(window, "Label1")->geometry(), QRect(43, 8, 104, 25));
    EXPECT_EQ(cell(window, "Label1")->text(), QStringLiteral("Highscore"));
    EXPECT_EQ(cell(window, "lblName1")->geometry(), QRect(32, 48, 100, 13));
    EXPECT_EQ(cell(window, "lblName8")->geometry(), QRect(32, 171, 100, 13));
    EXPECT_EQ(cell(window, "lblName20")->geometry(), QRect(32, 384, 100, 13));
    QLabel *points = cell(window, "lblPunkte13");
    EXPECT_EQ(points->pos(), QPoint(136, 260));
    EXPECT_EQ(points->height(), 13);
    EXPECT_EQ(points->width(), points->fontMetrics().horizontalAdvance(points->text()));
    EXPECT_TRUE(cell(window, "lblPunkte1")->font().bold());
    // A row is 13 pixels high and must hold the dots of "Ö" as well as the tail
    // of "g".
    for (const char *name : { "lblName1", "lblPunkte1" }) {
        QLabel *label = cell(window, name);
        const QFontMetrics metrics = label->fontMetrics();
        const int baseline = label->contentsRect().top() + metrics.ascent();
        EXPECT_GE(baseline, -metrics.tightBoundingRect(QStringLiteral("ÖÄÜ")).top()) << name;
        EXPECT_LE(baseline + metrics.descent(), 13) << name;
    }
    EXPECT_FALSE(cell(window, "lblName1")->font().bold());

    auto *again = window.findChild<QPushButton *>("btnNochmal");
    auto *quit = window.findChild<QPushButton *>("btnBeenden");
    ASSERT_NE(again, nullptr);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(again->geometry(), QRect(10, 424, 80, 25));
    EXPECT_EQ(again->text(), QStringLiteral("Noch ein Spiel !"));
    EXPECT_EQ(quit->geometry(), QRect(99, 424, 80, 25));
    EXPECT_EQ(quit->text(), QStringLiteral("Beenden !"));
}

TEST(TfrmHighscore, NochEinSpielAsksForAnotherGame)
{
    ScopedCurrentDir dir;
    OpenWindow open;
    QTest::mouseClick(open.window.findChild<QPushButton *>("btnNochmal"), Qt::LeftButton);
    EXPECT_TRUE(open.window.playAgain);
    EXPECT_FALSE(open.window.isVisible());
}

TEST(TfrmHighscore, BeendenAndEscapeLeaveTheTable)
{
    ScopedCurrentDir dir;
    {
        OpenWindow open;
        QTest::mouseClick(open.window.findChild<QPushButton *>("btnBeenden"), Qt::LeftButton);
        EXPECT_FALSE(open.window.playAgain);
        EXPECT_FALSE(open.window.isVisible());
    }
    {
        OpenWindow open;
        QTest::keyClick(&open.window, Qt::Key_Escape);
        EXPECT_FALSE(open.window.playAgain);
        EXPECT_FALSE(open.window.isVisible());
    }
}

TEST(TfrmHighscore, OtherKeysDoNothing)
{
    ScopedCurrentDir dir;
    OpenWindow open;
    // Return and Space would press a default or focused button in a plain dialog.
    for (const Qt::Key key :
        { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A, Qt::Key_F4 })
        QTest::keyClick(&open.window, key);
    EXPECT_TRUE(open.window.isVisible());
    EXPECT_FALSE(open.window.playAgain);
}

// Shown modally as the game table shows it: the modal loop ends with the click.
TEST(TfrmHighscore, ModalShowingEndsWithAButton)
{
    ScopedCurrentDir dir;
    TfrmHighscore window;
    bool clicked = false;
    QTimer::singleShot(0, [&clicked] {
        auto *modal = qobject_cast<TfrmHighscore *>(QApplication::activeModalWidget());
        if (modal == nullptr)
            return;
        QTest::mouseClick(modal->findChild<QPushButton *>("btnNochmal"), Qt::LeftButton);
        clicked = true;
    });
    window.exec();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(window.playAgain);
}
