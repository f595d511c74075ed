#include "TfrmSpieler.h"

#include "platform/Fonts.h"
#include "platform/MessageTexts.h"
#include "resources/JpegDecoder.h"
#include "resources/ResourceLibrary.h"
#include "stage/MessageBox.h"
#include "stage/Stage.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace dorvel::dialogs {

namespace {

    constexpr int kBackgroundResource = 113;
    constexpr int kMaxNameLength = 10;

    // Rows of the window definition: caption top, field top.
    constexpr std::array<int, 4> kLabelTops { 51, 80, 109, 139 };
    constexpr std::array<int, 4> kFieldTops { 48, 77, 106, 136 };

} // namespace

TfrmSpieler::TfrmSpieler(resources::ResourceLoader &resources, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_resources(resources)
{
    setObjectName(QStringLiteral("frmSpieler"));
    setWindowTitle(QStringLiteral("Spieler"));
    // Client area 220×206 inside a border one pixel wide.
    setFixedSize(222, 208);
    setFont(platform::tahoma(8));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    stage::adopt(this, stage::Placement::Centred);
    createControls();
    FormCreate();
}

TfrmSpieler::~TfrmSpieler() = default;

void TfrmSpieler::createControls()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(1, 1, 220, 206);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setLineWidth(1);
    QPalette panel = Panel1->palette();
    panel.setColor(QPalette::Window, Qt::black);
    panel.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    Panel1->setPalette(panel);
    Panel1->setAutoFillBackground(true);

    imgSpielerBckGrnd = new QLabel(Panel1);
    imgSpielerBckGrnd->setObjectName(QStringLiteral("imgSpielerBckGrnd"));
    imgSpielerBckGrnd->setGeometry(2, 3, 212, 166);
    imgSpielerBckGrnd->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const QFont bold = platform::tahoma(8, true);
    for (int i = 0; i < 4; ++i) {
        QLabel *label = new QLabel(QStringLiteral("Spieler %1:").arg(i + 1), Panel1);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setFont(bold);
        QPalette white = label->palette();
        white.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(white);
        // Sized as the window definition has it, but never narrower than the
        // caption, so no font can cut it off.
        label->setGeometry(10, kLabelTops[i], std::max(52, label->sizeHint().width()), 13);
        Label[i] = label;

        QLineEdit *field = new QLineEdit(Panel1);
        field->setObjectName(QStringLiteral("efdSpieler%1").arg(i + 1));
        field->setGeometry(66, kFieldTops[i], 140, 18);
        field->setFont(bold);
        field->setMaxLength(kMaxNameLength);
        field->setStyleSheet(QStringLiteral("QLineEdit { background: black; color: white;"
                                            " border: 1px solid #909090; padding: 0 2px; }"));
        field->installEventFilter(this);
        efdSpieler[i] = field;
    }
    for (int i = 0; i < 3; ++i)
        setTabOrder(efdSpieler[i], efdSpieler[i + 1]);

    SpeedButton1 = new QPushButton(QStringLiteral("OK"), Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(71, 174, 73, 22);
    SpeedButton1->setFont(bold);
    SpeedButton1->setFlat(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setAutoDefault(false);
    SpeedButton1->setDefault(false);
    SpeedButton1->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: transparent; border: 1px solid transparent; }"
        "QPushButton:hover { border: 1px solid #909090; }"
        "QPushButton:pressed { border: 1px solid #ffffff; background: #303030; }"));
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
}

void TfrmSpieler::FormCreate()
{
    const resources::ResourceModule *library
        = m_resources.loadLibrary(resources::kResourceLibraryName);
    if (library == nullptr) {
        stage::showMessage(
            nullptr, stage::MessageKind::Error, platform::libraryMissingEndingText());
        m_libraryMissing = true;
        return;
    }
    if (auto stream = resources::openResource(library, kBackgroundResource)) {
        imgSpielerBckGrnd->setPixmap(
            QPixmap::fromImage(resources::decodeJpeg(stream->memory(), stream->size())));
    }
}

void TfrmSpieler::FormShow()
{
    m_closeAllowed = false;
    for (int n = 2; n <= 4; ++n) {
        const bool playing = n <= playerCount;
        Label[n - 1]->setVisible(playing);
        efdSpieler[n - 1]->setVisible(playing);
    }
    efdSpieler[0]->setFocus(Qt::OtherFocusReason);
}

void TfrmSpieler::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfrmSpieler::SpeedButton1Click()
{
    Tag = 1;
    m_closeAllowed = true;
    for (int n = 1; n <= playerCount; ++n) {
        QLineEdit *field = efdSpieler[static_cast<std::size_t>(n - 1)];
        // Only an entirely empty field takes the default; blanks are a name.
        if (field->text().isEmpty())
            field->setText(QStringLiteral("Spieler %1").arg(n));
    }
    closeRequest(kResultOk);
}

std::array<QString, 4> TfrmSpieler::playerNames() const
{
    std::array<QString, 4> names;
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = efdSpieler[i]->text();
    return names;
}

bool TfrmSpieler::FormCloseQuery()
{
    return m_closeAllowed;
}

void TfrmSpieler::closeRequest(int result)
{
    if (!FormCloseQuery())
        return;
    done(Tag == 1 ? kResultOk : result);
}

bool TfrmSpieler::FormKeyDown(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        m_closeAllowed = true;
        closeRequest(kResultCancel);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // OK is reached only by clicking the button.
        return true;
    default:
        return false;
    }
}

bool TfrmSpieler::eventFilter(QObject *watched, QEvent *event)
{
    // The dialog sees key presses before its fields do.
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent *>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TfrmSpieler::keyPressEvent(QKeyEvent *event)
{
    if (FormKeyDown(event->key()))
        event->accept();
    else
        event->ignore();
}

void TfrmSpieler::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    done(Tag == 1 ? kResultOk : kResultCancel);
}

void TfrmSpieler::accept()
{
    closeRequest(kResultOk);
}

void TfrmSpieler::reject()
{
    closeRequest(kResultCancel);
}

} // namespace dorvel::dialogs
