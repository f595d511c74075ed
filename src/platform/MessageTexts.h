#pragma once

#include <QString>

/**
 * The texts of the program's message boxes, as designed, each written once:
 * the windows show them from here and the tests compare against them. They
 * keep the designed "\r\n" line breaks.
 */
namespace dorvel::platform {

inline const QString kLineBreak = QStringLiteral("\r\n");

/// No redizo.dll: the game table says only this line ...
inline const QString kLibraryMissing = QStringLiteral("Kann redizo.dll nicht finden !!!");
/// ... the start screen and the names dialog add that the program ends.
inline QString libraryMissingEndingText()
{
    return kLibraryMissing + kLineBreak + QStringLiteral("Halvenor Dorvel wird beendet.");
}

/// The sound library is not the one version the program accepts.
inline const QString kWrongSoundVersion
    = QStringLiteral("BASS version 1.7 konnte nicht geladen werden.");

/// No output device: the game starts silent.
inline QString noSoundCardText()
{
    const QString br = kLineBreak;
    return QStringLiteral("Hallo !") + br + br
        + QStringLiteral("Halvenor Dorvel konnte auf deinem System") + br
        + QStringLiteral("keine Soundkarte erkennen !") + br
        + QStringLiteral("Das Spiel wird deshalb ohne akustische") + br
        + QStringLiteral("Signale gestartet.") + br + br + QStringLiteral("Viel Spaß,") + br
        + QStringLiteral("Halvenor");
}

} // namespace dorvel::platform
