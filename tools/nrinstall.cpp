// Prepares a program folder from the installation data of the source tree.
//   nrinstall DATA_DIR PROGRAM_FOLDER
#include "common/installdata.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: nrinstall DATA_DIR PROGRAM_FOLDER\n");
        return 2;
    }
    std::string message;
    if (varenta::installProgramData(argv[1], argv[2], &message) != varenta::Status::Ok) {
        std::fprintf(stderr, "nrinstall: %s\n", message.c_str());
        return 1;
    }
    std::printf("installed %s into %s\n", argv[1], argv[2]);
    return 0;
}
