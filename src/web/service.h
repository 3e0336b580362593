#pragma once

#include "core/status.h"
#include "web/config.h"
#include "web/site.h"

#include <memory>

namespace httplib
{
class Server;
}

// The booking page on the wire: the HTTP library takes the connections and
// hands each request to the site, with bounds on what it reads (the body,
// the headers, how long a client may take) and the security headers on
// every answer, the library's own errors included.
namespace bm::web
{

class Service
{
public:
    Service(Site &site, const Config &config);
    ~Service();

    // Takes the address and port (port 0: any free one, see port()).
    [[nodiscard]] Status bind();
    int port() const { return m_port; }
    // Answers until stop(); false when it could not.
    bool run();
    void stop();

    // The HTTP library's server with the site's routes and bounds, for
    // those who feed it bytes of their own (the fuzzer).
    static void configure(httplib::Server &server, Site &site, const Config &config);

private:
    Site &m_site;
    Config m_config;
    std::unique_ptr<httplib::Server> m_server;
    int m_socket = -1;
    int m_port = 0;
};

} // namespace bm::web
