// How the process ends, and the debug trace.
//
// Every way the program ends (the last scene, the quit message, fatal errors, reader and loader
// failures) goes through EndProcess, which flushes standard output and exits with the code.
// Tests swap the end handler for one that throws, so exit codes and printed messages can be
// checked inside the test process and the readers can be fuzzed.
#pragma once

// Exit code of FatalError. POSIX keeps only the low 8 bits of an exit status, so a shell on
// Linux sees 9999 as 15; Windows keeps all 32 bits.
constexpr int kFatalExitCode = 9999;

// Called with the exit code; must not return (the default flushes stdout and calls exit).
using ProcessEndHandler = void (*)(int exitCode);

// Installs a new end handler and returns the previous one. A null handler restores the default.
ProcessEndHandler SetProcessEndHandler(ProcessEndHandler handler);

// Ends the process with the code, through the current end handler. Never returns: if a handler
// returns anyway, the process exits.
[[noreturn]] void EndProcess(int exitCode);

// Ends the process with exit code 9999. The message names what failed; it is not printed,
// shown or logged (LastFatalMessage keeps a copy for tests).
[[noreturn]] void FatalError(const char* message);

// The message given to the last FatalError call, or an empty text.
const char* LastFatalMessage();

// The debug trace routine: callers hand it an already formatted text (extra arguments are
// ignored). In the program it writes nothing anywhere; a sink installed by a test sees each text.
void Trace(const char* text, ...);

using TraceSink = void (*)(const char* text);
// Installs a sink for Trace texts and returns the previous one (null: texts are discarded).
TraceSink SetTraceSink(TraceSink sink);
// Whether a sink is installed: a caller that formats its texts skips the work when none is.
bool Tracing();
