#pragma once

// Stand-ins shared by the start-screen and names-dialog tests: a display whose
// modes are given, a message recorder, a small resource library and a driver for
// modal windows.

#include "display/DisplayMode.h"
#include "resources/ResourceLoaders.h"
#include "stage/MessageBox.h"
#include "support/Files.h"
#include "support/FixedClock.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"
#include "support/WindowStandIns.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dorvel::test {

inline std::vector<std::uint8_t> jpegOf(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return { bytes.begin(), bytes.end() };
}

/// The resources the start screen and the names dialog open: the two
/// backgrounds and three "sounds" whose lengths tell them apart (1150, 1160 and
/// 1170 bytes for 115, 116 and 117).
inline resources::MemoryResourceLoader smallLibrary()
{
    std::map<int, std::vector<std::uint8_t>> resources;
    resources[107] = jpegOf(800, 600, QColor(10, 80, 30));
    resources[113] = jpegOf(212, 166, QColor(60, 40, 20));
    resources[115] = std::vector<std::uint8_t>(1150, 1);
    resources[116] = std::vector<std::uint8_t>(1160, 2);
    resources[117] = std::vector<std::uint8_t>(1170, 3);
    return resources::MemoryResourceLoader(resources);
}

/// What the start screen is made with in these tests, in a folder of its own.
struct StartScreenStandIns : testing::Test
{
    ScopedCurrentDir dir;
    MessageRecorder boxes;
    RecordingSoundLibrary sound;
    RecordingDisplayModes display;
    FixedClock clock { 1000 };
    resources::MemoryResourceLoader library = smallLibrary();
};

/**
 * Runs `action` on each modal window that appears while `trigger` runs: a short
 * timer looks for QApplication::activeModalWidget() and hands it over once.
 * The action must close the window (or the next one must be handled by a later
 * entry of `actions`).
 */
inline void withModals(
    std::vector<std::function<void(QWidget *)>> actions, const std::function<void()> &trigger)
{
    std::size_t next = 0;
    QPointer<QWidget> handled;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == handled || next >= actions.size())
            return;
        handled = modal;
        actions[next++](modal);
    });
    timer.start();
    trigger();
    timer.stop();
}

} // namespace dorvel::test
