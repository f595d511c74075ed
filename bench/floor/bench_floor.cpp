// The floor of start-up time and memory that Qt and Mesa leave on this machine:
// the least a program of ours can do to put an 800×600 picture on the screen.
//
//   bench_floor [JPEG]        floor A: one Qt Widgets window showing the JPEG
//   bench_floor --gl [JPEG]   floor B: the same plus a 150×425 QOpenGLWindow
//                             child at the dice view's place, cleared to black once
//
// bench_probe starts it like the game and times its first frame from outside.
#include <QApplication>
#include <QLabel>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QPixmap>
#include <QWidget>

#include <cstring>

namespace {

class BlackOnce : public QOpenGLWindow
{
protected:
    void paintGL() override
    {
        context()->functions()->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        context()->functions()->glClear(GL_COLOR_BUFFER_BIT);
    }
};

} // namespace

int main(int argc, char **argv)
{
    bool withGl = false;
    const char *jpeg = BENCH_FLOOR_JPEG;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gl") == 0)
            withGl = true;
        else
            jpeg = argv[i];
    }
    QApplication application(argc, argv);
    QLabel window;
    window.setWindowTitle(withGl ? QStringLiteral("floor B") : QStringLiteral("floor A"));
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setFixedSize(800, 600);
    window.setPixmap(QPixmap(QString::fromLocal8Bit(jpeg)));
    if (withGl) {
        QWidget *container = QWidget::createWindowContainer(new BlackOnce, &window);
        container->setGeometry(611, 88, 150, 425);
    }
    window.move(0, 0);
    window.show();
    return application.exec();
}
