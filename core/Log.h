#pragma once
// The engine's diagnostics seam.
//
// Every subsystem logs through GAME::Log. The engine installs itself as the sink when it is
// constructed, so messages reach Engine::Log on gEngine; the base Engine::Log hands them on to the
// sink that was installed before the engine, if any. With no sink installed (unit tests, tools)
// messages are dropped. Tests install their own sink to check that a failure was reported.

#include <cstdarg>

namespace GAME {

// Priority of a log line; the numeric values are the ones hosts and log files rely on.
enum class LogPriority : int {
    Info = 0,
    Error = 1,
    Warning = 2,
};

// Receives one formatted line. category is 0 for uncategorised messages.
using LogSink = void (*)(LogPriority priority, unsigned category, const char* message);

// Installs the sink (null removes it) and returns the previous one.
LogSink SetLogSink(LogSink sink);

// printf-style logging; formats only when a sink is installed.
void Log(LogPriority priority, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Log(LogPriority priority, unsigned category, const char* format, ...) __attribute__((format(printf, 3, 4)));
void LogV(LogPriority priority, unsigned category, const char* format, va_list args);
// Formats the line and hands it to this sink (nothing when it is null).
void LogToSink(LogSink sink, LogPriority priority, unsigned category, const char* format, va_list args);

}  // namespace GAME
