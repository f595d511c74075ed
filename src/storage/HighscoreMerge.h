#pragma once

#include "storage/ConfigRecord.h"

#include <QString>

#include <cstdint>

namespace dorvel::storage {

/// One player's step of the end-of-game merge: enters `total` with `name` if it beats entry 20.
///
/// A total strictly greater than entry 20's points replaces entry 20 (its name cut to
/// 10 characters), then one full bubble pass of 19 compare-and-swap steps (k = 20 .. 2)
/// lifts it to its place; among equal points the older entry stays above. Call it for
/// each player in player order on the same record.
void enterHighscore(ConfigRecord &record, std::int32_t total, const QString &name);

/// Exchanges the names and points of two slots. Only the name bytes in use move
/// (the length, taken as at most 10, and that many characters); the unused name
/// bytes and the filler byte stay with their slot.
void exchangeEntries(HighscoreEntry &first, HighscoreEntry &second);

} // namespace dorvel::storage
