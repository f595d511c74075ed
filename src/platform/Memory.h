#pragma once

namespace dorvel::platform {

/// Hands memory that the program has freed back to the system. The C library
/// keeps freed memory for reuse, in particular in the arenas of threads that
/// have ended; after a one-off burst of allocations (compiling GL state) that
/// is megabytes nobody will use again. Costs about a millisecond; call it
/// after such a burst, not on every frame.
void returnFreedMemory();

} // namespace dorvel::platform
