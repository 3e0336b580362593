#include "web/service.h"

#include "web/form.h"

#include <QHostAddress>
#include <QLoggingCategory>

#include <httplib.h>

#include <sys/socket.h>

namespace bm::web
{

Q_LOGGING_CATEGORY(webLog, "bm.web")

namespace
{

// The query's fields the pages read, each at most this long.
const char *const queryFields[] = { "month", "day", "trip", "sent" };
constexpr std::size_t maxQueryValue = 100;

QString clientOf(const httplib::Request &req, const Config &config)
{
    const QString peer = QString::fromStdString(req.remote_addr);
    if (config.behindProxy && QHostAddress(peer).isLoopback() && req.has_header("X-Real-IP")) {
        const QHostAddress real(QString::fromStdString(req.get_header_value("X-Real-IP")));
        if (!real.isNull())
            return real.toString();
    }
    return peer;
}

void send(const Outgoing &out, httplib::Response &res)
{
    res.status = out.status;
    for (const auto &[name, value] : out.headers)
        res.set_header(name.toStdString(), value.toStdString());
    res.set_content(out.body.toStdString(), out.contentType.toStdString());
}

} // namespace

void Service::configure(httplib::Server &server, Site &site, const Config &config)
{
    httplib::Headers headers;
    for (const auto &[name, value] : Site::securityHeaders())
        headers.emplace(name.toStdString(), value.toStdString());
    server.set_default_headers(headers);
    server.set_payload_max_length(Site::maxBody);
    server.set_read_timeout(5);
    server.set_write_timeout(5);
    // One request a connection: each connection holds one of the threads
    // while it is open, so a client that keeps his open and idle must not
    // hold it. nginx in front keeps the clients' connections and opens one
    // here per request anyway.
    server.set_keep_alive_max_count(1);
    const int threads = config.threads;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(std::size_t(threads)); };

    const auto handle = [&site, config](const httplib::Request &req, httplib::Response &res) {
        Incoming in;
        in.method = QByteArray::fromStdString(req.method);
        in.path = QByteArray::fromStdString(req.path);
        for (const char *name : queryFields) {
            if (!req.has_param(name))
                continue;
            const std::string value = req.get_param_value(name);
            QString decoded;
            // The library has decoded it; what is not UTF-8 or too long is
            // taken as not given.
            if (value.size() <= maxQueryValue && fromUtf8(QByteArray::fromStdString(value), decoded))
                in.query.insert(name, decoded);
        }
        in.contentType = QByteArray::fromStdString(req.get_header_value("Content-Type"));
        in.cookie = QByteArray::fromStdString(req.get_header_value("Cookie"));
        in.body = QByteArray::fromStdString(req.body);
        in.client = clientOf(req, config);
        send(site.answer(in), res);
    };
    server.Get(R"(/.*)", handle);
    server.Post(R"(/.*)", handle);
    const auto refuse = [&site](const httplib::Request &, httplib::Response &res) {
        Outgoing out = site.errorPage(405);
        out.headers.emplaceBack("Allow", "GET, HEAD, POST");
        send(out, res);
    };
    server.Put(R"(/.*)", refuse);
    server.Delete(R"(/.*)", refuse);
    server.Patch(R"(/.*)", refuse);
    server.Options(R"(/.*)", refuse);
    // The library's own refusals (a request it can not read, a body too
    // long) get a page of the site's, which says no more than the status.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([&site](const httplib::Request &, httplib::Response &res) {
            if (!res.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            const Outgoing out = site.errorPage(res.status);
            res.set_content(out.body.toStdString(), out.contentType.toStdString());
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [&site](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
            qCCritical(webLog) << "A request ended in an exception; it was answered with 500.";
            send(site.errorPage(500), res);
        });
}

Service::Service(Site &site, const Config &config)
    : m_site(site)
    , m_config(config)
    , m_server(std::make_unique<httplib::Server>())
{
    configure(*m_server, m_site, m_config);
    // The library's own options would let a second service take the same
    // port beside this one (SO_REUSEPORT); only a port left in TIME_WAIT
    // may be taken again. The socket is kept for its backlog, see bind().
    m_server->set_socket_options([this](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_socket = sock;
    });
}

Service::~Service()
{
    stop();
}

Status Service::bind()
{
    const std::string host = m_config.listen.toStdString();
    if (m_config.port == 0)
        m_port = m_server->bind_to_any_port(host);
    else if (m_server->bind_to_port(host, m_config.port))
        m_port = m_config.port;
    if (m_port > 0) {
        // The library listens with a queue of five connections not yet
        // taken; a crowd arriving at once overflowed it and waited for the
        // retried handshake, a second and more. Listening again lengthens
        // the queue (the system caps it at net.core.somaxconn).
        constexpr int backlog = 1024;
        if (m_socket < 0 || ::listen(m_socket, backlog) != 0)
            qCWarning(webLog) << "The queue of new connections stays at the library's length.";
        return Status::ok();
    }
    return Status::failure(
        QStringLiteral("The booking page can not listen on %1 port %2 (in use, or not this "
                       "machine's address).")
            .arg(m_config.listen)
            .arg(m_config.port));
}

bool Service::run()
{
    return m_server->listen_after_bind();
}

void Service::stop()
{
    if (m_server && m_server->is_running())
        m_server->stop();
}

} // namespace bm::web
