#pragma once

#include <QString>

#include <cstdint>

// Process facts for diagnostics (the program log) and for keying per-thread registries.
int LastSystemErrorCode();
QString SystemErrorText(int ACode);
std::int64_t CurrentProcessId();
std::int64_t CurrentThreadId();
QString CurrentWorkDirectory();

// Runs the calling thread at lower than normal priority (background work).
void LowerCurrentThreadPriority();
