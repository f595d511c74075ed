// Arbitrary bytes handed to the sound layer as a sample.
#include "sound/SampleDecoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto pcm = dorvel::sound::decodeSample(data, size);
    if (pcm && pcm->samples.size() > dorvel::sound::kMaxDecodedSamples)
        std::abort();
    return 0;
}
