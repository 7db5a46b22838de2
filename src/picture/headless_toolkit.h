// The toolkit's application for drawing pictures without a screen: its fonts
// and images need one, the windows do not. The batch tool, the Python
// package, the benchmarks and the examples start it here, the same way.
#pragma once

namespace ammonite {

struct HeadlessToolkit {
    const char* programName = "ammonite";
    // The toolkit's own messages are kept quiet but for the serious ones,
    // which go to standard error after this prefix ("ammonite-batch: ").
    const char* messagePrefix = "ammonite: ";
    // The host's locale stays as it was (a Python interpreter's); otherwise
    // the toolkit takes the user's, numbers aside.
    bool keepHostLocale = false;
};

// Starts the application once per process, unless the program has one of its
// own: on the offscreen platform unless another one is asked for, numbers
// written with '.' whatever the locale. It lives as long as the process.
void StartHeadlessToolkit(const HeadlessToolkit& how = {});

// Ends the application StartHeadlessToolkit made (nothing when the program
// has its own), for a program that ends in its main function: the toolkit's
// fonts are given back before the process exits. Everything drawn with the
// toolkit must be gone by then.
void EndHeadlessToolkit();

}  // namespace ammonite
