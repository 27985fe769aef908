#pragma once

// A real HTTP server on 127.0.0.1 (any free port) for the download-server tests. Routes are
// added before start(); the server runs on its own thread and stops when destroyed.

#include <httplib.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace TVR::FirmwareTest {

struct SeenRequest {
    std::string target;  // path and query as sent
    std::string agent;
    std::string pragma;
    std::string cookie;
};

class TestServer {
public:
    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    httplib::Server& http() { return m_server; }
    // Binds and starts serving; false when no port could be bound.
    bool start();
    void stop();
    int port() const { return m_port; }
    std::string baseUrl() const;
    std::vector<SeenRequest> requests() const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_mutex;
    std::vector<SeenRequest> m_requests;
};

// A file in a fresh temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_dir;
    std::string m_path;
};

}  // namespace TVR::FirmwareTest
