#pragma once

#include <string>

// Whether another holder of the named mutex exists. When none does, this process takes the mutex
// and keeps it until it ends, so a later call (here or in another process) answers true.
bool isInstanceRunning(const std::wstring& name);

// Whether the machine's processor is a 64-bit x86 (AMD64) or Itanium one.
bool is64BitSystem();
