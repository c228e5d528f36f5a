#include "plugin_host/plovane_plugin.h"

// PLV_EXPORT gives C linkage from C++: redeclaring the function with C linkage is only valid
// when the first declaration already had it.
PLV_EXPORT void PLV_CALL PlvHeaderCheckExport(void);
extern "C" void PLV_CALL PlvHeaderCheckExport(void);
