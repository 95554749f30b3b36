// tarvik-keynames FILE: writes the help file's reference of key names into FILE. Run it
// on help/KeyNames.html after changing the codec or the keyboard tables, and commit it.
#include <cstdio>
#include <fstream>
#include <string>

#include "KeyNameReference.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvik-keynames FILE\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << tarvik::help::KeyNameReference();
    out.close();
    if (!out) {
        std::fprintf(stderr, "tarvik-keynames: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
