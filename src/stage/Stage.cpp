#include "Stage.h"

#include "StageHost.h"

namespace dorvel::stage {

namespace {
    bool g_planned = false;
    StageHost *g_host = nullptr;
} // namespace

void setPlanned(bool planned)
{
    g_planned = planned;
}

bool planned()
{
    return g_planned;
}

QWidget *open()
{
    if (g_host == nullptr) {
        g_host = new StageHost;
        g_host->showOnScreen();
    }
    return g_host->stage();
}

QWidget *current()
{
    return g_host != nullptr ? g_host->stage() : nullptr;
}

void adopt(QWidget *window, Placement placement)
{
    if (g_host != nullptr)
        g_host->adopt(window, placement);
}

void adoptIfPlanned(QWidget *window, Placement placement)
{
    if (g_planned)
        open();
    adopt(window, placement);
}

void close()
{
    delete g_host;
    g_host = nullptr;
}

} // namespace dorvel::stage
