#include "TfrmHighscore.h"

#include "platform/Fonts.h"
#include "stage/Stage.h"
#include "storage/ConfigRecord.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <algorithm>

namespace dorvel::dialogs {

namespace {

    // The window definition: positions in pixels, relative to the client area
    // (which Panel1 fills) unless noted.
    constexpr int kLeft = 595; // screen position of the outer frame
    constexpr int kTop = 70;
    constexpr int kFrameWidth = 3;
    constexpr int kClientWidth = 184;
    constexpr int kClientHeight = 458;
    constexpr int kNameLeft = 32;
    constexpr int kNameWidth = 100;
    constexpr int kPointsLeft = 136;
    constexpr int kRowHeight = 13;
    constexpr int kRowTops[storage::kHighscoreCount] = { 48, 65, 83, 101, 118, 136, 154, 171, 189,
        207, 224, 242, 260, 277, 295, 313, 330, 348, 366, 384 };
    constexpr QRect kTitleRect(43, 8, 104, 25);
    constexpr QRect kNochmalRect(10, 424, 80, 25);
    constexpr QRect kBeendenRect(99, 424, 80, 25);

    const QColor kMaroon(0x80, 0x00, 0x00);
    const QColor kYellow(0xFF, 0xFF, 0x00);

    void setTextColor(QWidget *widget, const QColor &color)
    {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::ButtonText, color);
        widget->setPalette(palette);
    }

    // Qt puts the first baseline at the font's typographic ascent, which for
    // Tahoma lies below the tops of accented capitals, so "Ö" in a 13-pixel row
    // would lose its dots. The windows were laid out with the baseline low
    // enough for accented capitals, so the text starts that much lower — as far
    // as the label's height leaves room for the descenders.
    int accentRoom(const QFont &font, int labelHeight)
    {
        const QFontMetrics metrics(font);
        const int top = -metrics.tightBoundingRect(QStringLiteral("ÂÅÄÖÜÉ")).top();
        return std::clamp(top - metrics.ascent(), 0, std::max(0, labelHeight - metrics.height()));
    }

    QLabel *makeLabel(QWidget *parent, const QString &objectName, const QFont &font,
        const QColor &color, const QRect &rect)
    {
        auto *label = new QLabel(parent);
        label->setObjectName(objectName);
        label->setFont(font);
        label->setTextFormat(Qt::PlainText); // names are the players' own text
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(rect);
        label->setContentsMargins(0, accentRoom(font, rect.height()), 0, 0);
        setTextColor(label, color);
        return label;
    }

    // A flat button: only its caption until the mouse is over it, then a thin
    // raised edge, sunken while pressed. It takes no keyboard focus, so keys reach
    // the window's own handler.
    QPushButton *makeButton(
        QWidget *parent, const QString &objectName, const QString &caption, const QRect &rect)
    {
        auto *button = new QPushButton(caption, parent);
        button->setObjectName(objectName);
        button->setGeometry(rect);
        button->setFont(platform::tahoma(8));
        button->setFlat(true);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        button->setStyleSheet(QStringLiteral(
            "QPushButton { color: white; background: transparent; border: 1px solid transparent; }"
            "QPushButton:hover { border-color: white #808080 #808080 white; }"
            "QPushButton:pressed { border-color: #808080 white white #808080; }"));
        return button;
    }

} // namespace

TfrmHighscore::TfrmHighscore(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmHighscore"));
    setWindowTitle(QStringLiteral("Highscore"));
    setFont(platform::tahoma(8));
    setFixedSize(kClientWidth + 2 * kFrameWidth, kClientHeight + 2 * kFrameWidth);
    move(kLeft, kTop);
    stage::adopt(this);

    // The window's own background shows only as the maroon frame around Panel1.
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::Window, kMaroon);
    setPalette(framePalette);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(kFrameWidth, kFrameWidth, kClientWidth, kClientHeight);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    QPalette panelPalette = Panel1->palette();
    panelPalette.setColor(QPalette::Window, Qt::black);
    panelPalette.setColor(QPalette::Light, Qt::white);
    panelPalette.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    Panel1->setPalette(panelPalette);
    Panel1->setAutoFillBackground(true);

    Label1 = makeLabel(Panel1, QStringLiteral("Label1"), platform::tahoma(16, true, false, true),
        kYellow, kTitleRect);
    Label1->setText(QStringLiteral("Highscore"));

    for (int row = 1; row <= storage::kHighscoreCount; ++row) {
        const int top = kRowTops[row - 1];
        makeLabel(Panel1, QStringLiteral("lblName%1").arg(row), platform::tahoma(8), Qt::white,
            QRect(kNameLeft, top, kNameWidth, kRowHeight));
        // Width 0 until FormCreate gives it text.
        makeLabel(Panel1, QStringLiteral("lblPunkte%1").arg(row), platform::tahoma(8, true),
            kYellow, QRect(kPointsLeft, top, 0, kRowHeight));
    }

    btnNochmal = makeButton(
        Panel1, QStringLiteral("btnNochmal"), QStringLiteral("Noch ein Spiel !"), kNochmalRect);
    btnBeenden = makeButton(
        Panel1, QStringLiteral("btnBeenden"), QStringLiteral("Beenden !"), kBeendenRect);
    connect(btnNochmal, &QPushButton::clicked, this, &TfrmHighscore::btnNochmalClick);
    connect(btnBeenden, &QPushButton::clicked, this, &TfrmHighscore::btnBeendenClick);

    FormCreate();
}

void TfrmHighscore::FormCreate()
{
    playAgain = false;
    // A missing or short file leaves the zero-filled start: twenty empty names
    // with 0 points.
    storage::ConfigRecord record;
    storage::readConfig(storage::kConfigFileName, record);
    for (int row = 1; row <= storage::kHighscoreCount; ++row) {
        const storage::HighscoreEntry &entry = record.highscores[row - 1];
        if (auto *name = Panel1->findChild<QLabel *>(QStringLiteral("lblName%1").arg(row)))
            name->setText(entry.name());
        if (auto *points = Panel1->findChild<QLabel *>(QStringLiteral("lblPunkte%1").arg(row))) {
            // The width follows the text. (Not via sizeHint(), which in this Qt
            // version drops the label's contents margins.)
            const QString text = QString::number(entry.points);
            points->setText(text);
            points->resize(points->fontMetrics().horizontalAdvance(text), kRowHeight);
        }
    }
}

void TfrmHighscore::keyPressEvent(QKeyEvent *event)
{
    FormKeyDown(event);
}

void TfrmHighscore::FormKeyDown(QKeyEvent *event)
{
    // Every key is swallowed here (no default button, no Escape reject of the
    // base dialog); only Escape acts, and it leaves playAgain false.
    event->accept();
    if (event->key() == Qt::Key_Escape)
        close();
}

void TfrmHighscore::btnNochmalClick()
{
    playAgain = true;
    close();
}

void TfrmHighscore::btnBeendenClick()
{
    playAgain = false;
    close();
}

} // namespace dorvel::dialogs
