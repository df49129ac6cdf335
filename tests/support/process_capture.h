// Test helpers: catching process ends, recording trace texts, temporary working folders.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Thrown by the end handler that tests install: the code the process would have exited with.
struct ProcessEnded {
    int code;
};

// While alive, EndProcess throws ProcessEnded instead of exiting.
class CatchProcessEnd {
  public:
    CatchProcessEnd();
    ~CatchProcessEnd();
    CatchProcessEnd(const CatchProcessEnd&) = delete;
    CatchProcessEnd& operator=(const CatchProcessEnd&) = delete;
};

// Runs `body` with process ends caught. Returns the exit code it ended with, or -1 if it returned.
int ExitCodeOf(const std::function<void()>& body);

// Runs `body` with process ends caught and standard output captured; returns the exit code
// (or -1) and stores what was printed in *printed.
int ExitCodeAndOutputOf(const std::function<void()>& body, std::string* printed);

// While alive, records every text handed to Trace, in order.
class TraceRecorder {
  public:
    TraceRecorder();
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;
    const std::vector<std::string>& Texts() const;
    bool Contains(const std::string& text) const;
};

// A fresh empty folder under the system's temporary folder, made the working directory while
// the object lives, then removed with its content and the previous working directory restored.
class TempWorkingDirectory {
  public:
    TempWorkingDirectory();
    ~TempWorkingDirectory();
    TempWorkingDirectory(const TempWorkingDirectory&) = delete;
    TempWorkingDirectory& operator=(const TempWorkingDirectory&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

// Writes `bytes` to `path` (binary), creating folders on the way. Returns false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
