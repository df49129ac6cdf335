#include "base/process.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__)
// Each scene frees its images and the next allocates its own, of much the same sizes. glibc hands
// blocks over 128 KB back to the system when they are freed, so the next scene's images land on
// fresh pages, and writing a fresh page the first time costs a fault (about 12 microseconds each
// on a virtual machine): most of the time a scene's first frame takes to read its images. The
// show's memory stays under a few megabytes, so the process keeps what it frees and reuses it.
[[maybe_unused]] const bool freedMemoryKept = [] {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return true;
}();
#endif

[[noreturn]] void DefaultEnd(int exitCode) {
    std::fflush(stdout);
    std::exit(exitCode);
}

ProcessEndHandler endHandler = DefaultEnd;
TraceSink traceSink = nullptr;
std::string lastFatalMessage;

} // namespace

ProcessEndHandler SetProcessEndHandler(ProcessEndHandler handler) {
    ProcessEndHandler previous = endHandler;
    endHandler = handler ? handler : DefaultEnd;
    return previous == DefaultEnd ? nullptr : previous;
}

void EndProcess(int exitCode) {
    std::fflush(stdout);
    endHandler(exitCode);
    DefaultEnd(exitCode);
}

void FatalError(const char* message) {
    lastFatalMessage = message ? message : "";
    EndProcess(kFatalExitCode);
}

const char* LastFatalMessage() {
    return lastFatalMessage.c_str();
}

void Trace(const char* text, ...) {
    if (traceSink && text)
        traceSink(text);
}

bool Tracing() {
    return traceSink != nullptr;
}

TraceSink SetTraceSink(TraceSink sink) {
    TraceSink previous = traceSink;
    traceSink = sink;
    return previous;
}
