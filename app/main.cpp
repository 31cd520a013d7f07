#include "app/startup.h"

int main(int, char** argv) { return vantrelo::runProgram(argv[0]); }
