#pragma once

namespace dorvel::platform {

/// In sanitizer builds only: keeps Mesa's GL driver mapped until the process
/// ends, so LeakSanitizer can name (and the suppression file can match) the
/// driver's process-wide allocations. Does nothing in normal builds.
void keepGlDriverLoadedForLeakChecks();

} // namespace dorvel::platform
