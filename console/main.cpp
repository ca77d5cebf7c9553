// The zestrel program: for now it shows the platform core at work.
#include <cstdio>

int main() {
    std::puts("zestrel: the platform core is being built");
    return 0;
}
