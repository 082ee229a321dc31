// The class library's view of the Windows-1254 code page: the conversions and the _w literals live
// in the code page library (platform/codepage), below the registry and the class library.
#pragma once

#include "platform/codepage/cp1254.h"
