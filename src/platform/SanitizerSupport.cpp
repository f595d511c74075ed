#include "SanitizerSupport.h"

#include <initializer_list>

#include <dlfcn.h>

namespace dorvel::platform {

void keepGlDriverLoadedForLeakChecks()
{
#if defined(__SANITIZE_ADDRESS__)
    // Mesa unloads its DRI driver when the last GL context goes, before
    // LeakSanitizer reports at exit; the driver's own caches then show up from an
    // "unknown module". Loading it once more with RTLD_NODELETE keeps it mapped.
    for (const char *path : { "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
             "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so",
             "/usr/lib/x86_64-linux-gnu/libGLX_mesa.so.0",
             "/usr/lib/x86_64-linux-gnu/libEGL_mesa.so.0" }) {
        dlopen(path, RTLD_NOW | RTLD_NODELETE);
    }
#endif
}

} // namespace dorvel::platform
