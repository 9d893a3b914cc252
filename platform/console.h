// The diagnostic console: French trace lines that the programs write only
// when the environment variable "KORVANDBG" is set. Here it is stderr.
#pragma once

namespace tessaran {

// Whether traces are written. Read once from the environment variable
// "KORVANDBG" (or the one given to ConsoleOpen) unless set explicitly.
bool ConsoleEnabled();
void ConsoleSetEnabled(bool enabled);

// Opens the console when the named environment variable exists; returns
// whether it is now enabled. The picker uses "KORVANDBGDLL".
bool ConsoleOpen(const char* environmentVariable = "KORVANDBG");

// Writes a formatted trace, cut at 500 characters, when enabled.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tessaran
