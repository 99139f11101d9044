// brawl_bot: a headless client for tests and load tests; runs from the run folder.
#include <csignal>
#include <iostream>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "tools/bot/headless_bot.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    BotOptions options;
    if (!parse_bot_options(argc, argv, options)) {
        std::cout << "Usage: brawl_bot <server address> <port> <name> <host: true|false> <seed> <seconds>" << std::endl;
        return 2;
    }
    log_set_level(LogLevel::Warning);
    log_enable();
    load_settings();

    HeadlessBot bot(options);
    if (!bot.run()) {
        std::cout << "Bot " << options.name << ": could not connect to " << options.server.toString() << ":"
                  << options.port << "." << std::endl;
        return 1;
    }
    std::cout << bot.summary() << std::endl;
    return 0;
}
