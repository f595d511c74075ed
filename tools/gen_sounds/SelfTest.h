// `gen_sounds --self-test`: exercises the checks and the encoder on made-up
// sounds with known faults. Returns the process exit code.
#pragma once

namespace dorvel::gensounds {

int runSelfTest();

} // namespace dorvel::gensounds
