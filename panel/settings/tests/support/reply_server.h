#pragma once

// A download server on 127.0.0.1 answering fixed texts per path, recording what was asked.
// Shared by the firmware and release-check tests of the panel and of brisco-cli.

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace TVR::PanelTest {

class ReplyServer {
public:
    ReplyServer() {
        m_http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            std::lock_guard lock(m_mutex);
            m_targets.push_back(req.target);
            return httplib::Server::HandlerResponse::Unhandled;
        });
    }
    ~ReplyServer() { stop(); }
    ReplyServer(const ReplyServer&) = delete;
    ReplyServer& operator=(const ReplyServer&) = delete;

    void reply(const std::string& path, std::string body, int status = 200) {
        m_http.Get(path, [body = std::move(body), status](const httplib::Request&,
                                                          httplib::Response& res) {
            res.status = status;
            res.set_content(body, "application/octet-stream");
        });
    }
    bool start() {
        m_port = m_http.bind_to_any_port("127.0.0.1");
        if (m_port <= 0) return false;
        m_thread = std::thread([this] { m_http.listen_after_bind(); });
        for (int i = 0; i < 10000 && !m_http.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return m_http.is_running();
    }
    void stop() {
        m_http.stop();
        if (m_thread.joinable()) m_thread.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    std::vector<std::string> targets() const {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }

private:
    httplib::Server m_http;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_targets;
};

// An address where nothing listens: a server started and stopped again.
inline std::string deadServerUrl() {
    ReplyServer s;
    if (!s.start()) return "http://127.0.0.1:9/";
    const std::string url = s.url();
    s.stop();
    return url;
}

}  // namespace TVR::PanelTest
