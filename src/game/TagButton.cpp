#include "TagButton.h"

namespace dorvel::game {

TagButton::TagButton(QWidget *parent)
    : QPushButton(parent)
{
    // Like a speed button: flat, never focused, never the dialog's default, so
    // Enter and Space do not press it behind the player's back.
    setFlat(true);
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
    setDefault(false);
}

} // namespace dorvel::game
