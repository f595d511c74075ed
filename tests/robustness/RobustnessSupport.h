#pragma once

// Shared by the robustness tests: a fixed clock, a display stand-in that can
// refuse, a message-box recorder, resource libraries built from the real one
// with resources taken out or spoiled, the open file descriptors, and a driver
// that plays a whole run through the modal windows (names dialog, game table, high scores).

#include "display/DisplayMode.h"
#include "platform/Clock.h"
#include "platform/MessageTexts.h"
#include "resources/ResourceFormat.h"
#include "resources/ResourceLibrary.h"
#include "resources/ResourceLoaders.h"
#include "robustness/RunDriver.h"
#include "stage/MessageBox.h"
#include "storage/ConfigRecord.h"
#include "support/Files.h"
#include "support/FixedClock.h"
#include "support/WindowStandIns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace dorvel::test {

/// The display stand-in with a 16-bit 800×600 mode on offer.
class StubDisplay final : public RecordingDisplayModes
{
public:
    StubDisplay()
    {
        available = { { 1024, 768, 32 }, { 800, 600, 16 } };
        shown = { 1024, 768, 32 };
    }
};

// ---- Open files ----------------------------------------------------------

/// What each open file descriptor of this process points at, by number.
inline std::map<int, std::string> openDescriptors()
{
    std::map<int, std::string> result;
    DIR *dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return result;
    const int own = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = std::atoi(entry->d_name);
        if (fd == own)
            continue;
        char target[512] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t length = ::readlink(link.c_str(), target, sizeof(target) - 1);
        result[fd] = length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "?";
    }
    ::closedir(dir);
    return result;
}

// ---- Resource libraries --------------------------------------------------

/// The resources of the real library next to the test executable, by ID.
inline std::map<int, Bytes> realResources()
{
    std::map<int, Bytes> result;
    const resources::ResourceModule *module
        = resources::systemResourceLoader().loadLibrary(resources::kResourceLibraryName);
    if (module == nullptr)
        return result;
    for (const resources::ResourceEntry &entry : module->directory().entries) {
        if (entry.type != resources::RT_RCDATA)
            continue;
        const auto data = module->directory().data(entry);
        result[static_cast<int>(entry.id)] = Bytes(data.begin(), data.end());
    }
    return result;
}

/// Bytes that are no picture, no model and no sound.
inline Bytes junk(std::size_t size, std::uint8_t seed = 7)
{
    Bytes bytes(size);
    std::uint32_t state = 0x9E3779B9u ^ seed;
    for (auto &byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

/// A library image (the packed bytes a file would hold) of these resources.
inline Bytes packLibrary(const std::map<int, Bytes> &resources)
{
    std::vector<resources::ResourceInput> inputs;
    for (const auto &[id, data] : resources)
        inputs.push_back({ resources::RT_RCDATA, static_cast<std::uint32_t>(id), data });
    return resources::buildResourceLibrary(std::move(inputs)).value_or(Bytes {});
}

/// Handles loaded and freed, from a RecordingSoundLibrary's call texts.
struct SampleLedger
{
    std::vector<std::uint32_t> loaded; // non-zero handles, in load order
    std::map<std::uint32_t, int> freed; // handle -> times freed

    static SampleLedger of(const std::vector<std::string> &calls)
    {
        SampleLedger ledger;
        for (const std::string &call : calls) {
            if (call.rfind("SampleLoad(", 0) == 0) {
                const auto equals = call.rfind('=');
                const auto handle = static_cast<std::uint32_t>(std::stoul(call.substr(equals + 1)));
                if (handle != 0)
                    ledger.loaded.push_back(handle);
            } else if (call.rfind("SampleFree(", 0) == 0) {
                const auto handle = static_cast<std::uint32_t>(std::stoul(call.substr(11)));
                ++ledger.freed[handle];
            }
        }
        return ledger;
    }

    /// Loaded handles not freed exactly once, and freed handles never loaded
    /// (0 aside: freeing "no sample" is harmless by definition).
    std::vector<std::string> faults() const
    {
        std::vector<std::string> result;
        for (const std::uint32_t handle : loaded) {
            const auto it = freed.find(handle);
            const int times = it == freed.end() ? 0 : it->second;
            if (times != 1)
                result.push_back(
                    "sample " + std::to_string(handle) + " freed " + std::to_string(times) + "x");
        }
        for (const auto &[handle, times] : freed) {
            if (handle != 0 && std::find(loaded.begin(), loaded.end(), handle) == loaded.end())
                result.push_back("sample " + std::to_string(handle) + " freed, never loaded");
        }
        return result;
    }
};

} // namespace dorvel::test
