#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace dorvel::resources {

/// Decodes JPEG data with libjpeg. Damaged, truncated or non-JPEG data gives a
/// null image; nothing is read outside [data, data + size).
QImage decodeJpeg(const std::uint8_t *data, std::size_t size);

} // namespace dorvel::resources
