#pragma once

#include "ComTypes.h"

// The calling thread's last error code, as the Windows calls of this layer leave it.
DWORD GetLastError();
void SetLastError(DWORD error);
