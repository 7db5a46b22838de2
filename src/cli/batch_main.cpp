// ammonite-batch: runs the main window's model headless.
#include <cstdio>

int main() {
    std::puts("ammonite-batch: not built yet");
    return 0;
}
