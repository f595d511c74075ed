#pragma once

#include <QLoggingCategory>

namespace dorvel::sound {

Q_DECLARE_LOGGING_CATEGORY(lcSound)

/// Reads and clears OpenAL's error state; logs and answers false when the last
/// calls went wrong.
bool alOk(const char *what);

} // namespace dorvel::sound
