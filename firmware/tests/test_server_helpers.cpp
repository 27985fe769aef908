#include "test_server.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace TVR::FirmwareTest {

TestServer::TestServer() {
    // Recorded before routing, so the request is on the list before its reply is sent.
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back({req.target, req.get_header_value("User-Agent"),
                              req.get_header_value("Pragma"), req.get_header_value("Cookie")});
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

TestServer::~TestServer() { stop(); }

bool TestServer::start() {
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) return false;
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() is a no-op until the loop runs, so a stop right after start would never join.
    for (int i = 0; i < 10000 && !m_server.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return m_server.is_running();
}

void TestServer::stop() {
    m_server.stop();
    if (m_thread.joinable()) m_thread.join();
}

std::string TestServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::vector<SeenRequest> TestServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

TempFile::TempFile(const std::string& contents) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tvr-fw-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_dir = pattern;
    m_path = m_dir + "/image.bin";
    std::ofstream(m_path, std::ios::binary) << contents;
}

TempFile::~TempFile() {
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
}

}  // namespace TVR::FirmwareTest
