#include "server/server_main.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/terrain/map_coder.h"
#include "net/lan/announcement.h"
#include "platform/console.h"
#include "server/dedicated_server.h"
#include "server/host_parameters.h"

namespace {

// With BRAWL_PASS_STATS=1 the server prints the number of passes and their median and longest
// length when the loop ends (the load test reads the line).
bool pass_stats_wanted() {
    const char* value = std::getenv("BRAWL_PASS_STATS");
    return value && std::string(value) == "1";
}

void print_pass_stats(std::vector<uint32_t> times_us) {
    if (times_us.empty()) {
        std::cout << "Pass statistics: no passes." << std::endl;
        return;
    }
    std::sort(times_us.begin(), times_us.end());
    const double median_ms = times_us[times_us.size() / 2] / 1000.0;
    const double longest_ms = times_us.back() / 1000.0;
    std::cout << "Pass statistics: " << times_us.size() << " passes, median " << median_ms << " ms, longest "
              << longest_ms << " ms" << std::endl;
}

}  // namespace

void configure_server_log(const std::string& path) {
    // Warnings that peers cause are limited besides.
    log_set_file_limit(kProgramLogLimitBytes);
    log_set_console_limits(kProgramConsoleLimits);
    log_set_file_path(path);
    log_enable_file();
    log_set_level(LogLevel::Warning);
    log_enable();
}

void print_usage_and_exit() {
    std::cout << kServerUsage << std::flush;
    platform::wait_for_key();
    std::exit(-1);
}

int server_main(int argc, char** argv) {
    // A client that vanishes while we write to it is dropped by the transport; the signal would
    // end the whole server instead. So would a file size limit reached by the log or the
    // console's file: a write that fails is not worth the match.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    configure_server_log("server.log");

    platform::set_console_title("VORTELUNE Server");

    // The arguments are checked before anything is looked up or bound.
    HostParameters params;
    if (!parse_host_parameters(argc, argv, params)) print_usage_and_exit();

    params.local_address = sf::IpAddress::getLocalAddress();
    params.public_address = lookup_public_address();

    std::cout << "Starting server..." << std::endl;
    std::cout << "Local IP Address: " << params.local_address.toString() << std::endl;
    std::cout << "Public IP Address: " << public_address_text(params.public_address) << std::endl;

    // The rules, the object definitions and the materials the world runs on.
    load_settings();
    report_equal_material_colors();

    DedicatedServer server;
    server.keep_pass_times = pass_stats_wanted();
    server.create_game(params);
    server.run();
    if (server.keep_pass_times) print_pass_stats(server.pass_times_us);
    return 0;
}
