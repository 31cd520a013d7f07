#pragma once
// The program's life: start-up in its eight steps, the message loop and the
// normal shut-down. Returns the exit status.
namespace vantrelo {

int runProgram(const char* programPath);

}  // namespace vantrelo
