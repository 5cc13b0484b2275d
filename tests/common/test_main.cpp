// Entry point of every test executable but those that need a process set
// up otherwise before it starts (they have a main of their own).
#include "common/TestRun.h"

int main(int argc, char** argv) { return runAllTests(argc, argv); }
