#pragma once

class QCoreApplication;

namespace dorvel::platform {

/**
 * Makes the texts Qt supplies itself (the "OK" of a message box, an edit
 * field's context menu, the title bar's tooltips) German, like the rest of the
 * program, whatever language the session is set to: installs Qt's own German
 * translations on `application`. Returns false, changing nothing, where they
 * are not installed; Qt's English texts then stand.
 */
bool installGermanQtTexts(QCoreApplication &application);

} // namespace dorvel::platform
