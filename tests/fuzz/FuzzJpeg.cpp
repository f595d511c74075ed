// Arbitrary bytes decoded as a JPEG background or texture.
#include "resources/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QImage image = dorvel::resources::decodeJpeg(data, size);
    (void)image;
    return 0;
}
