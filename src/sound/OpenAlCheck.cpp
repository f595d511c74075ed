#include "OpenAlCheck.h"

#include <AL/al.h>

namespace dorvel::sound {

Q_LOGGING_CATEGORY(lcSound, "dorvel.sound")

bool alOk(const char *what)
{
    const ALenum error = alGetError();
    if (error == AL_NO_ERROR)
        return true;
    const ALchar *text = alGetString(error);
    qCWarning(
        lcSound, "%s failed: %s (0x%x)", what, text ? text : "?", static_cast<unsigned>(error));
    return false;
}

} // namespace dorvel::sound
