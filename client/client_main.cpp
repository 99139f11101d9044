#include "client/client_main.h"

#include <csignal>
#include <sstream>

#include "client/qc_game.h"
#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/terrain/map_coder.h"
#include "platform/console.h"

ClientArguments parse_client_arguments(int argc, char** argv) {
    ClientArguments arguments;
    if (argc <= 2) return arguments;
    arguments.server_address = sf::IpAddress(argv[1]);
    std::istringstream port_text(argv[2]);
    long long port = 0;
    if (!(port_text >> port)) port = 0;
    arguments.server_port = uint16_t(port);
    return arguments;
}

int client_main(int argc, char** argv) {
    // A server can make the client warn at any rate: the session limits those lines per kind,
    // and the file stops at its cap.
    std::signal(SIGXFSZ, SIG_IGN);
    log_set_file_limit(kProgramLogLimitBytes);
    log_set_file_path("client.log");
    log_enable_file();
    log_set_level(LogLevel::Warning);
    platform::hide_console();
    log_enable();

    const ClientArguments arguments = parse_client_arguments(argc, argv);
    load_settings();
    report_equal_material_colors();

    QCGame game(arguments.server_address, arguments.server_port);
    game.run();
    return 0;
}
