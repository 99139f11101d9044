#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <atomic>
#include <memory>
#include <string>

// Turns a typed server address into an sf::IpAddress without holding up the frame: a dotted
// address at once, a host name on a worker thread whose result is collected later.
class HostLookup {
public:
    using Resolver = sf::IpAddress (*)(const std::string& text);
    // The lookup the worker runs (the system's, through SFML); tests put in a slow one.
    static Resolver resolver;

    HostLookup() = default;
    // Abandons a pending lookup without waiting for it.
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Starts looking the text up, abandoning any lookup still pending. True when the answer is
    // there at once (a dotted address, or an empty text): take_result then hands it over.
    bool start(const std::string& text);
    bool pending() const { return job_ != nullptr; }
    // True, with the address (sf::IpAddress::None when the name is unknown), once the pending
    // lookup has finished; the lookup is then over.
    bool take_result(sf::IpAddress& address);
    void abandon() { job_.reset(); }

private:
    // Shared with the worker, which holds nothing else: an abandoned job is freed by whichever
    // side lets go of it last.
    struct Job {
        std::string text;
        sf::IpAddress result = sf::IpAddress::None;
        std::atomic<bool> done{false};
    };
    std::shared_ptr<Job> job_;
};
