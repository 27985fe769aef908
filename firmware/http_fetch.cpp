#include "http_fetch.h"

#include <curl/curl.h>
#include <fmt/format.h>

#include <fstream>

#include <memory>
#include <mutex>

namespace TVR {
namespace {

constexpr long kConnectTimeoutS = 15;
// A stalled server is dropped after this long below one byte per second.
constexpr long kLowSpeedTimeS = 30;
constexpr long kMaxRedirects = 5;

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
    std::string* text = nullptr;
    std::vector<uint8_t>* bytes = nullptr;
    size_t limit = 0;
    bool overflow = false;
};

size_t writeCallback(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    const size_t have = sink->text ? sink->text->size() : sink->bytes->size();
    if (n > sink->limit - have) {
        sink->overflow = true;
        return 0;  // aborts the transfer
    }
    if (sink->text) {
        sink->text->append(data, n);
    } else {
        sink->bytes->insert(sink->bytes->end(), data, data + n);
    }
    return n;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// Runs one GET into the sink; the error text, empty on success.
std::string perform(const std::string& url, std::string_view agent, Sink& sink) {
    globalInit();
    curl_slist* list = nullptr;
    for (const char* h : {"Pragma: no-cache", "Cache-Control: no-cache"}) {
        curl_slist* l = curl_slist_append(list, h);
        if (!l) {
            curl_slist_free_all(list);
            return "Out of memory";
        }
        list = l;
    }
    // The header list and the error buffer must outlive the handle that points at them.
    std::unique_ptr<curl_slist, SlistDeleter> headers(list);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string agentText(agent);
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return "Cannot create a transfer handle";
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, agentText.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kLowSpeedTimeS);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode rc = curl_easy_perform(c);
    if (sink.overflow) {
        return fmt::format("The reply is longer than {} bytes", sink.limit);
    }
    if (rc != CURLE_OK) {
        return errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(rc));
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    // file:// transfers report 0.
    if (status >= 400) return fmt::format("The server returned HTTP status {}", status);
    return {};
}

}  // namespace

FetchResult httpFetchText(std::string_view url, std::string_view agent, bool emptyIsError) {
    FetchResult result;
    if (url.empty()) {
        result.error = kEmptyUrlError;
        return result;
    }
    Sink sink;
    sink.text = &result.text;
    sink.limit = kTextReplyLimit;
    result.error = perform(std::string(url), agent, sink);
    if (!result.error.empty()) {
        result.text.clear();
    } else if (emptyIsError && result.text.empty()) {
        result.error = kEmptyReplyError;
    }
    return result;
}

DownloadResult downloadBytes(std::string_view url, int64_t expectedSize, std::string_view agent) {
    DownloadResult result;
    if (url.empty()) {
        result.error = kEmptyUrlError;
        return result;
    }
    if (expectedSize < 1 || expectedSize > kImageSizeLimit) {
        result.error = fmt::format("Invalid image size {}", expectedSize);
        return result;
    }
    const auto expected = static_cast<size_t>(expectedSize);
    result.bytes.reserve(expected);
    Sink sink;
    sink.bytes = &result.bytes;
    // One byte of room beyond the size tells a longer body from an exact one.
    sink.limit = expected + 1;
    result.error = perform(std::string(url), agent, sink);
    if (sink.overflow || (result.error.empty() && result.bytes.size() != expected)) {
        result.error = kSizeMismatchError;
    }
    if (!result.error.empty()) result.bytes.clear();
    return result;
}

DownloadResult readImageFile(const std::string& path, int64_t expectedSize) {
    DownloadResult result;
    if (expectedSize < 1 || expectedSize > kImageSizeLimit) {
        result.error = fmt::format("Invalid image size {}", expectedSize);
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = fmt::format("Can't open the file [{}]", path);
        return result;
    }
    const auto expected = static_cast<size_t>(expectedSize);
    result.bytes.resize(expected + 1);
    in.read(reinterpret_cast<char*>(result.bytes.data()),
            static_cast<std::streamsize>(result.bytes.size()));
    // One byte of room beyond the size tells a file that grew from an exact one.
    if (static_cast<size_t>(in.gcount()) != expected) {
        result.error = kSizeMismatchError;
        result.bytes.clear();
        return result;
    }
    result.bytes.resize(expected);
    return result;
}

}  // namespace TVR
