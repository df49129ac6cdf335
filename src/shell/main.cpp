// Entry point outside Windows: the program is WinMain, and its result is the exit code.
#include "shell/demo.h"
#include "base/process.h"

int main() {
    EndProcess(WinMain(nullptr, nullptr, nullptr, 0));
}
