// tarvik-artwork FOLDER: draws the library's artwork and writes the files into FOLDER.
// Run it on src/resources/art after changing the drawing code, and commit the files.
#include <cstdio>
#include <string>

#include "Artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvik-artwork FOLDER\n");
        return 2;
    }
    std::string error;
    if (!tarvik::art::WriteArtwork(argv[1], error)) {
        std::fprintf(stderr, "tarvik-artwork: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
