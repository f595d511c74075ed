// What the in-process scenarios share: a scratch folder of their own, and
// stand-ins that time or stamp what the program's libraries do.
#pragma once

#include "BenchStats.h"

#include "display/DisplayMode.h"
#include "platform/Clock.h"
#include "resources/ResourceLibrary.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace inproc {

using namespace dorvel;
using bench::monotonicNs;

double ms(long long ns);

/// Works in a folder of its own with a "dorvel.cfg" of sound and music on, so
/// that the settings the program reads and writes are never the caller's.
std::string enterScratchFolder();
void leaveScratchFolder(const std::string &folder);

/// The display modes, with the time of the first call noted: the full-screen
/// viewer's activation begins with it.
class StampedDisplayModes : public display::DisplayModes
{
public:
    explicit StampedDisplayModes(display::DisplayModes &real)
        : m_real(real)
    {
    }
    long long firstCall = 0;
    std::vector<display::DisplayMode> modes() override
    {
        note();
        return m_real.modes();
    }
    display::DisplayMode current() override
    {
        note();
        return m_real.current();
    }
    bool switchTemporarily(const display::DisplayMode &mode) override
    {
        note();
        return m_real.switchTemporarily(mode);
    }
    void restore() override { m_real.restore(); }

private:
    void note()
    {
        if (!firstCall)
            firstCall = monotonicNs();
    }
    display::DisplayModes &m_real;
};

/// The resource library search, timed.
class TimedResourceLoader : public resources::ResourceLoader
{
public:
    long long ns = 0;
    int calls = 0;
    const resources::ResourceModule *loadLibrary(std::string_view fileName) override
    {
        const long long t0 = monotonicNs();
        const resources::ResourceModule *module
            = resources::systemResourceLoader().loadLibrary(fileName);
        ns += monotonicNs() - t0;
        ++calls;
        return module;
    }
};

/// Records the first time an event of a type reaches an object with a name.
class FirstEventStamp : public QObject
{
public:
    struct Key
    {
        QString objectName;
        QEvent::Type type;
        bool operator<(const Key &other) const
        {
            return objectName != other.objectName ? objectName < other.objectName
                                                  : type < other.type;
        }
    };
    std::map<Key, long long> stamps;
    std::function<void(QObject *, QEvent *)> onFirst;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString name = watched->objectName();
        if (!name.isEmpty()
            && (event->type() == QEvent::Paint || event->type() == QEvent::Show
                || event->type() == QEvent::Expose)) {
            const Key key { name, event->type() };
            if (!stamps.count(key)) {
                stamps[key] = monotonicNs();
                if (onFirst)
                    onFirst(watched, event);
            }
        }
        return false;
    }
    long long at(const QString &name, QEvent::Type type) const
    {
        const auto it = stamps.find({ name, type });
        return it == stamps.end() ? 0 : it->second;
    }
};

/// A fixed time of day, so the scripted game draws the same dice every run.
class SteppingClock : public platform::Clock
{
public:
    std::uint32_t millisecondsSinceMidnightUtc() const override
    {
        return 12345678u + 977u * m_calls++;
    }

private:
    mutable std::uint32_t m_calls = 0;
};

} // namespace inproc
