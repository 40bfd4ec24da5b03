// The one definition of every GUID declared by the generated velorin.h.
#include <initguid.h>

#include "commands/com/velorin.h"
