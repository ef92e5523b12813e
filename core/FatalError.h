#pragma once
// Ends the process on an error the engine cannot go on from.
//
// FatalError passes the text (as UTF-8) to the installed handler, then exits with code -1. The
// default handler writes it to the log and to standard error (there may be no display for a
// message box). Tests install a handler that throws or jumps away, since a handler that returns
// is followed by the exit.

namespace GAME {

using FatalErrorHandler = void (*)(const char* text);

// Installs the handler (null restores the default) and returns the previous one.
FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler);

[[noreturn]] void FatalError(const wchar_t* text);
[[noreturn]] void FatalError(const char* text);

}  // namespace GAME
