#include "game/water/water_object.h"
#include "server/server_main.h"

int main(int argc, char** argv) {
    sph::restart_with_passive_omp_wait(argv);
    return server_main(argc, argv);
}
