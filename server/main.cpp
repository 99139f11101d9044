#include "server/server_main.h"

int main(int argc, char** argv) {
    return server_main(argc, argv);
}
