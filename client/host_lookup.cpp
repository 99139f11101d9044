#include "client/host_lookup.h"

#include <arpa/inet.h>

#include <thread>

namespace {

sf::IpAddress system_lookup(const std::string& text) { return sf::IpAddress(text); }

bool is_dotted_address(const std::string& text) {
    in_addr parsed;
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

}  // namespace

HostLookup::Resolver HostLookup::resolver = system_lookup;

HostLookup::~HostLookup() { abandon(); }

bool HostLookup::start(const std::string& text) {
    job_ = std::make_shared<Job>();
    job_->text = text;
    if (text.empty() || is_dotted_address(text)) {
        job_->result = text.empty() ? sf::IpAddress::None : sf::IpAddress(text);
        job_->done.store(true, std::memory_order_release);
        return true;
    }
    // A name lookup cannot be interrupted and may take as long as the system's resolver
    // allows, so nobody waits for it: the worker owns its share of the job and nothing else,
    // and a menu that closes meanwhile simply lets go of its share.
    std::thread([job = job_, lookup = resolver] {
        job->result = lookup(job->text);
        job->done.store(true, std::memory_order_release);
    }).detach();
    return false;
}

bool HostLookup::take_result(sf::IpAddress& address) {
    if (!job_ || !job_->done.load(std::memory_order_acquire)) return false;
    address = job_->result;
    job_.reset();
    return true;
}
