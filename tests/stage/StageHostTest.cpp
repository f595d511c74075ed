// Windows on the stage as on a screen of their own: a window a window manager
// would frame gets a title bar and keeps Qt's face (not the stage's black),
// centred with its frame whatever size it takes; a frameless one stays as it is.
#include "stage/Stage.h"

#include <QDialog>
#include <QMessageBox>
#include <QPalette>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace dorvel;
using stage::Placement;

namespace {

// What a window is on the stage: its frame if it has one, else itself.
QWidget *outerOf(QWidget *window)
{
    QWidget *parent = window->parentWidget();
    return parent != nullptr && parent != stage::current() ? parent : window;
}

QPoint middleOf(const QWidget *widget)
{
    return widget->pos() + QPoint(widget->width() / 2, widget->height() / 2);
}

} // namespace

TEST(StageHost, WindowsAsOnAScreenOfTheirOwn)
{
    struct Case
    {
        const char *what;
        std::function<std::unique_ptr<QWidget>()> make;
        bool framed;
    };
    const Case cases[] {
        { "message box",
            [] {
                return std::make_unique<QMessageBox>(QMessageBox::Information,
                    QStringLiteral("Information"), QStringLiteral("Hallo !"), QMessageBox::Ok);
            },
            true },
        { "frameless dialog",
            [] {
                auto dialog
                    = std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
                dialog->setFixedSize(222, 208);
                return dialog;
            },
            false },
    };
    stage::open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<QWidget> window = c.make();
        stage::adopt(window.get(), Placement::Centred);
        window->show();
        QWidget *outer = outerOf(window.get());
        EXPECT_EQ(outer != window.get(), c.framed);
        if (c.framed) {
            // A title bar above the window, the border around it.
            EXPECT_GT(window->y(), 0);
            EXPECT_GT(outer->height(), window->height());
        }
        EXPECT_LE((middleOf(outer) - QPoint(400, 300)).manhattanLength(), 2);
        EXPECT_NE(window->palette().color(QPalette::Window), QColor(Qt::black));
        // Larger, it stays centred with its frame.
        window->setMinimumSize(window->width() + 100, window->height() + 60);
        window->resize(window->minimumSize());
        EXPECT_LE((middleOf(outer) - QPoint(400, 300)).manhattanLength(), 2);
        // Hidden, it takes its frame along.
        window->hide();
        EXPECT_FALSE(outer->isVisible());
    }
    stage::close();
}
