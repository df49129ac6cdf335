#include "base/process.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

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
