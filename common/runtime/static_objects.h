// Static objects of a program without a C runtime library: their constructors run before the
// program's own code, their destructors (registered with atexit by the constructors) after it.
#pragma once

// Runs the constructors the compiler listed for the linker, in the order C++ requires.
void MakeStaticObjects();

// Runs the functions registered with atexit, the last registered first. Each runs once.
void EndStaticObjects();
