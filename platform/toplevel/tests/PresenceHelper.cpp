// Test helper: claims the window title given as its argument, prints "claimed" or "taken" on a
// line, then keeps the claim until its standard input closes or it is killed.
#include "platform/toplevel/TopLevelPresence.h"

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    qxm::toplevel::TopLevelPresence presence(QString::fromUtf8(argv[1]));
    const bool claimed = presence.claim();
    std::cout << (claimed ? "claimed" : "taken") << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
    return claimed ? 0 : 1;
}
