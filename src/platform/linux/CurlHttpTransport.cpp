#include "platform/linux/CurlHttpTransport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <system_error>

namespace quietmon {

namespace {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A request line takes no spaces, control characters or bytes beyond ASCII: a line break in a typed
// address would otherwise start a header of its own. A "#" would end the URL curl reads. Everything else,
// "%" sequences included, goes out as typed.
std::string escapeForRequestLine(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#') {
            escaped += '%';
            escaped += hex[byte >> 4];
            escaped += hex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// FTP sends user and password on command lines of their own.
bool usableCredential(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return isControl(static_cast<unsigned char>(c)); });
}

const char* schemeName(HttpScheme scheme) {
    switch (scheme) {
    case HttpScheme::Https:
        return "https";
    case HttpScheme::Ftp:
        return "ftp";
    case HttpScheme::Http:
        break;
    }
    return "http";
}

// Scheme, host and port go to curl's URL handle one by one, which checks the host and writes the base
// URL; the path follows it escaped, so that it cannot be read as anything but the path and its query.
// Curl's setter for the path and query parts would turn "%3A" into "%3a": servers may compare the query
// text as it stands.
std::string buildUrl(const HttpTarget& target) {
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    const std::string port = std::to_string(target.port);
    char* base = nullptr;
    if (!url || curl_url_set(url.get(), CURLUPART_SCHEME, schemeName(target.scheme), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_HOST, target.host.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PATH, "/", 0) != CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_URL, &base, 0) != CURLUE_OK)
        return {};
    std::string whole = base;
    curl_free(base);
    if (whole.empty() || whole.back() != '/')
        return {};
    whole.pop_back();
    return whole + (target.path.empty() ? std::string("/") : escapeForRequestLine(target.path));
}

struct Transfer {
    const HttpTransport::ChunkSink& sink;
    const std::stop_token& stop;
    std::uint64_t received = 0;
    // The sink or a stop ended the transfer: curl's write error is then no failure of the request.
    bool endedByCaller = false;
};

std::size_t takeChunk(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (transfer.stop.stop_requested()) {
        transfer.endedByCaller = true;
        return 0;
    }
    transfer.received += bytes;
    // Anything but the whole chunk taken ends the transfer.
    if (transfer.sink(std::string_view(data, bytes)))
        return bytes;
    transfer.endedByCaller = true;
    return 0;
}

// Curl's own short texts, but the system's for a connection that failed ("Connection refused",
// "No route to host"): curl says only "Couldn't connect to server" there.
std::string describeFailure(CURL* easy, CURLcode code) {
    long osError = 0;
    if (code == CURLE_COULDNT_CONNECT && curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError) == CURLE_OK &&
        osError != 0)
        return std::generic_category().message(static_cast<int>(osError));
    return curl_easy_strerror(code);
}

HttpResult failed(CURLcode code) {
    return {0, curl_easy_strerror(code)};
}

// The first option curl turned down, or CURLE_OK.
CURLcode configure(CURL* easy, const std::string& url, curl_slist* headers, const HttpTarget& target,
                   const HttpGetOptions& options, Transfer& transfer) {
    CURLcode result = curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    const auto set = [&](CURLoption option, auto value) {
        if (result == CURLE_OK)
            result = curl_easy_setopt(easy, option, value);
    };
    // No SIGALRM around name look-ups: this runs on a worker thread of a program with its own handlers.
    set(CURLOPT_NOSIGNAL, 1L);
    // A stop must not wait for a name look-up that hangs; its thread ends on its own later.
    set(CURLOPT_QUICK_EXIT, 1L);
    // "/../" and the like are the server's to read.
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(options.timeouts.connectMs, 0)));
    set(CURLOPT_TIMEOUT_MS, static_cast<long>(std::max(options.timeouts.totalMs, 0)));
    set(CURLOPT_BUFFERSIZE, 1025L);
    set(CURLOPT_WRITEFUNCTION, &takeChunk);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    set(CURLOPT_USERAGENT, options.agent.c_str());
    if (!target.user.empty() || !target.password.empty()) {
        if (!usableCredential(target.user) || !usableCredential(target.password))
            return CURLE_URL_MALFORMAT;
        set(CURLOPT_USERNAME, target.user.c_str());
        set(CURLOPT_PASSWORD, target.password.c_str());
    }
    if (target.scheme == HttpScheme::Ftp) {
        set(CURLOPT_TRANSFERTEXT, 0L);
        set(CURLOPT_FTPPORT, static_cast<const char*>(nullptr));
    } else {
        set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
        set(CURLOPT_HTTPHEADER, headers);
    }
    return result;
}

// How a transfer ended: curl's result for it, the low-speed rule's time-out, or a failure of the multi
// handle; both OK when a stop ended it.
struct TransferEnd {
    CURLcode code = CURLE_OK;
    CURLMcode multiCode = CURLM_OK;
};

// Drives the transfer until it ends, a stop is requested, or too little arrived in a span of the
// low-speed time.
TransferEnd runTransfer(CURLM* multi, const HttpTimeouts& timeouts, const Transfer& transfer,
                        const std::stop_token& stop) {
    // Wakes the wait below at once; destroyed before the handles it wakes.
    const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
    using Clock = std::chrono::steady_clock;
    const int span = timeouts.lowSpeedTimeMs;
    const auto needed = static_cast<std::uint64_t>(std::max(timeouts.lowSpeedBytesPerSecond, 0)) *
                        static_cast<std::uint64_t>(std::max(span, 0)) / 1000;
    auto spanStart = Clock::now();
    std::uint64_t receivedBefore = 0;
    TransferEnd end;
    for (;;) {
        int running = 0;
        end.multiCode = curl_multi_perform(multi, &running);
        if (end.multiCode != CURLM_OK)
            return end;
        if (running == 0) {
            int left = 0;
            while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE)
                    end.code = message->data.result;
            }
            return end;
        }
        if (stop.stop_requested())
            return end;
        int waitMs = 1000;
        if (span > 0) {
            const auto now = Clock::now();
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - spanStart).count();
            if (elapsed >= span) {
                if (transfer.received - receivedBefore < std::max<std::uint64_t>(needed, 1)) {
                    end.code = CURLE_OPERATION_TIMEDOUT;
                    return end;
                }
                spanStart = now;
                receivedBefore = transfer.received;
                elapsed = 0;
            }
            waitMs = static_cast<int>(std::max<std::int64_t>(span - elapsed, 1));
        }
        // Returns early when the transfer needs attention, for curl's own timers, or on a wake-up.
        end.multiCode = curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
        if (end.multiCode != CURLM_OK)
            return end;
    }
}

} // namespace

CurlHttpTransport::CurlHttpTransport() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResult CurlHttpTransport::get(const HttpTarget& target, const HttpGetOptions& options,
                                  std::stop_token stop, const ChunkSink& sink) {
    if (stop.stop_requested())
        return {};
    const std::string url = buildUrl(target);
    if (url.empty())
        return failed(CURLE_URL_MALFORMAT);
    // Past every cache on the way, as a reload is.
    curl_slist* list = nullptr;
    for (const std::string& header : {"Accept: " + options.acceptTypes, std::string("Pragma: no-cache"),
                                      std::string("Cache-Control: no-cache")}) {
        curl_slist* longer = curl_slist_append(list, header.c_str());
        if (!longer) {
            curl_slist_free_all(list);
            return failed(CURLE_OUT_OF_MEMORY);
        }
        list = longer;
    }
    const std::unique_ptr<curl_slist, ListDeleter> headers(list);
    const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    const std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    Transfer transfer{sink, stop};
    if (!easy || !multi)
        return failed(CURLE_FAILED_INIT);
    if (const CURLcode refused = configure(easy.get(), url, headers.get(), target, options, transfer);
        refused != CURLE_OK)
        return failed(refused);
    if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK)
        return failed(CURLE_FAILED_INIT);
    const TransferEnd end = runTransfer(multi.get(), options.timeouts, transfer, stop);
    HttpResult result;
    long status = 0;
    if (target.scheme != HttpScheme::Ftp &&
        curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        result.status = static_cast<int>(status);
    // A transfer that the caller ended has not failed.
    if (!stop.stop_requested() && !transfer.endedByCaller) {
        if (end.multiCode != CURLM_OK)
            result.failure = curl_multi_strerror(end.multiCode);
        else if (end.code != CURLE_OK)
            result.failure = describeFailure(easy.get(), end.code);
    }
    curl_multi_remove_handle(multi.get(), easy.get());
    return result;
}

} // namespace quietmon
