// The program's entry. Until it can open scenes it only says what it is.
#include <cstdio>

int main() {
    std::puts("Tandu: a messaging client on the Weftly markup user-interface toolkit.");
    std::puts("This build cannot open scenes yet; it exits without showing anything.");
    return 0;
}
