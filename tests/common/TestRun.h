#pragma once
// What every test executable's main does: one QApplication on the offscreen
// platform, settings kept out of the user's home, then every test.
int runAllTests(int argc, char** argv);
