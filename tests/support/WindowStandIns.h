#pragma once

#include "display/DisplayMode.h"
#include "stage/MessageBox.h"

#include <QString>

#include <string>
#include <vector>

namespace dorvel::test {

/// A display with a given list of modes that records what is asked of it; its
/// switch can be made to fail.
class RecordingDisplayModes : public display::DisplayModes
{
public:
    std::vector<display::DisplayMode> available { { 1024, 768, 24 }, { 800, 600, 24 } };
    display::DisplayMode shown { 1024, 768, 24 };
    bool switchWorks = true;
    std::vector<std::string> calls;

    std::vector<display::DisplayMode> modes() override { return available; }
    display::DisplayMode current() override { return shown; }
    bool switchTemporarily(const display::DisplayMode &mode) override
    {
        calls.push_back("switch(" + std::to_string(mode.width) + "x" + std::to_string(mode.height)
            + "x" + std::to_string(mode.depth) + ")");
        return switchWorks;
    }
    void restore() override { calls.push_back("restore"); }
};

struct RecordedMessage
{
    stage::MessageKind kind;
    QString title;
    QString text;
};

/// Records message boxes instead of showing them, for its lifetime.
class MessageRecorder
{
public:
    MessageRecorder()
    {
        stage::setMessageHook(
            [this](stage::MessageKind kind, const QString &title, const QString &text) {
                messages.push_back({ kind, title, text });
            });
    }
    ~MessageRecorder() { stage::setMessageHook({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    std::vector<RecordedMessage> messages;
};

} // namespace dorvel::test
