#pragma once

#include <QImage>

namespace dorvel::tools {

/// The 800×600 game table: felt, score sheet with row and sum captions, column
/// grid for four players, the frame of the dice view and the counter plaques.
QImage paintTableBackground();

/// The 20×19 row arrow with a 16-colour palette; white is its transparent colour.
QImage paintRowArrow();

} // namespace dorvel::tools
