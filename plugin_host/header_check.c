#include "plugin_host/plovane_plugin.h"
