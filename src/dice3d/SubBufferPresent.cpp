// Kept apart from the rest of the view: the GLX headers bring X11's macros
// (None, Bool, Status, ...), which clash with Qt's names and ours.
#include "SubBufferPresent.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QWindow>

#include <GL/gl.h>
#include <GL/glx.h>

#include <cstring>

namespace dorvel::dice3d::subbuffer {

namespace {

    using CopySubBuffer = void (*)(Display *, GLXDrawable, int, int, int, int);

    Display *x11Display()
    {
        auto *x11
            = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        return x11 ? x11->display() : nullptr;
    }

    // A whole word of a space-separated extension list.
    bool hasWord(const char *list, const char *word)
    {
        if (!list)
            return false;
        const std::size_t length = std::strlen(word);
        for (const char *at = std::strstr(list, word); at; at = std::strstr(at + 1, word)) {
            const bool starts = at == list || at[-1] == ' ';
            const bool ends = at[length] == '\0' || at[length] == ' ';
            if (starts && ends)
                return true;
        }
        return false;
    }

    CopySubBuffer copySubBuffer()
    {
        static const auto function = reinterpret_cast<CopySubBuffer>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte *>("glXCopySubBufferMESA")));
        return function;
    }

} // namespace

bool available(QOpenGLContext *context, QWindow *window)
{
    if (!context || !window || !context->nativeInterface<QNativeInterface::QGLXContext>())
        return false;
    Display *display = x11Display();
    if (!display || context->format().swapBehavior() == QSurfaceFormat::SingleBuffer)
        return false;
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    const bool drawsOnCpu
        = renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe"));
    const char *extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    return drawsOnCpu && hasWord(extensions, "GLX_MESA_copy_sub_buffer") && copySubBuffer();
}

void show(QWindow *window, const QRect &area)
{
    Display *display = x11Display();
    const CopySubBuffer copy = copySubBuffer();
    if (display && copy && !area.isEmpty())
        copy(display, static_cast<GLXDrawable>(window->winId()), area.x(), area.y(), area.width(),
            area.height());
}

} // namespace dorvel::dice3d::subbuffer
