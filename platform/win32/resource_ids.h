#pragma once

// Resource identifiers of the Win32 toolkit, shared by its code and by the .rc
// files of every module that links it (Velorin.dll and the test programs). Plain
// preprocessor definitions: the resource compiler reads this file too.
#define VELORIN_IDI_WINDOW 101
