// The message texts are written once, in the program, and every other test
// compares against them; here they are held to the words as designed, so that
// an edit to one shows up.
#include "platform/MessageTexts.h"

#include <gtest/gtest.h>

TEST(MessageTexts, AreTheDesignedWords)
{
    using namespace dorvel::platform;
    const struct
    {
        QString text;
        const char *designed;
    } texts[] = {
        { kLibraryMissing, "Kann redizo.dll nicht finden !!!" },
        { libraryMissingEndingText(),
            "Kann redizo.dll nicht finden !!!\r\nHalvenor Dorvel wird beendet." },
        { kWrongSoundVersion, "BASS version 1.7 konnte nicht geladen werden." },
        { noSoundCardText(),
            "Hallo !\r\n\r\nHalvenor Dorvel konnte auf deinem System\r\nkeine Soundkarte erkennen "
            "!\r\nDas Spiel wird deshalb ohne akustische\r\nSignale gestartet.\r\n\r\nViel "
            "Spaß,\r\nHalvenor" },
    };
    for (const auto &t : texts)
        EXPECT_EQ(t.text, QString::fromUtf8(t.designed));
}
