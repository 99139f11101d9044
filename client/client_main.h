#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <cstdint>

// The server the command line names: brawl_client [address port]. With both present the
// client joins that server at start-up.
struct ClientArguments {
    sf::IpAddress server_address = sf::IpAddress::None;
    uint16_t server_port = 0;
};

// Only with more than two entries (program, address, port; further ones are ignored). The port
// is read as a leading decimal number (0 when there is none) and keeps its low 16 bits.
ClientArguments parse_client_arguments(int argc, char** argv);

// The client program: logging, settings, then one QCGame until the window closes. Returns 0.
int client_main(int argc, char** argv);
