#pragma once

#include "platform/DisplayMode.h"
#include "platform/MessageBox.h"

#include <QString>

#include <string>
#include <vector>

namespace dorvel::test {

/// A display with a given list of modes that records what is asked of it; its
/// switch can be made to fail.
class RecordingDisplayModes : public platform::DisplayModes
{
public:
    std::vector<platform::DisplayMode> available { { 1024, 768, 24 }, { 800, 600, 24 } };
    platform::DisplayMode shown { 1024, 768, 24 };
    bool switchWorks = true;
    std::vector<std::string> calls;

    std::vector<platform::DisplayMode> modes() override { return available; }
    platform::DisplayMode current() override { return shown; }
    bool switchTemporarily(const platform::DisplayMode &mode) override
    {
        calls.push_back("switch(" + std::to_string(mode.width) + "x" + std::to_string(mode.height)
            + "x" + std::to_string(mode.depth) + ")");
        return switchWorks;
    }
    void restore() override { calls.push_back("restore"); }
};

struct RecordedMessage
{
    platform::MessageKind kind;
    QString title;
    QString text;
};

/// Records message boxes instead of showing them, for its lifetime.
class MessageRecorder
{
public:
    MessageRecorder()
    {
        platform::setMessageHook(
            [this](platform::MessageKind kind, const QString &title, const QString &text) {
                messages.push_back({ kind, title, text });
            });
    }
    ~MessageRecorder() { platform::setMessageHook({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    std::vector<RecordedMessage> messages;
};

} // namespace dorvel::test
