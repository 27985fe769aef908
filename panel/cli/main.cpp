#include <cstdio>

int main() {
    std::puts("brisco-cli");
    return 0;
}
