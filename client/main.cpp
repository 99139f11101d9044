#include "client/client_main.h"

int main(int argc, char** argv) { return client_main(argc, argv); }
