#pragma once
// GLDebugOutput: the GL errors the driver itself reports (debug output), for finding the device's
// own faults. A GL error is never part of how the device works: it validates what it is asked
// before calling GL, so an error the driver sees is a fault in the device (or in the driver).
//
// Off unless the environment variable GLDEVICE_DEBUG is set to anything but "0" (every test suite
// sets it). Then the device asks for a debug context, and once that context is current every error
// the driver reports (an invalid enum, value or operation, out of memory) is logged as an error,
// written to standard error with the call the driver names, and ends the process (abort): a test
// or a flight that makes one fails on the spot, and a debugger stops in the faulty call, since the
// reports are synchronous. The driver's other messages (performance hints, compiler notes) are not
// asked for.

namespace GAME {

class GLDebugOutput {
public:
    // Whether the environment asks for it; read once.
    static bool IsRequested();
    // Before the context is made: asks for a debug context when requested, for a plain one otherwise.
    static void RequestContext();
    // With the new context current: installs the report when requested. A driver without debug
    // output is logged and passed over.
    static void Install();
};

}  // namespace GAME
