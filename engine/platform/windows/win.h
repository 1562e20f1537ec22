// <windows.h> without the parts that clash with standard C++ (min/max macros)
// and without the rarely used subsystems that slow every compile.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
