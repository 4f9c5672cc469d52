#include "platform/linux/CurlHttpTransport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
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

// Where a URL leads, as far as the choice of following a redirect goes.
struct Origin {
    std::string scheme; // lower case
    std::string host;   // lower case, as written: names are not resolved
    std::string port;   // the scheme's own when the URL names none

    friend bool operator==(const Origin&, const Origin&) = default;
    std::string text() const { return scheme + "://" + host + ":" + port; }
};

// A URL for curl and where it leads.
struct Place {
    std::string url;
    Origin origin;
};

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::optional<std::string> urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK || !value)
        return std::nullopt;
    std::string text = value;
    curl_free(value);
    return text;
}

std::optional<Origin> originOf(CURLU* url) {
    const std::optional<std::string> scheme = urlPart(url, CURLUPART_SCHEME);
    const std::optional<std::string> host = urlPart(url, CURLUPART_HOST);
    const std::optional<std::string> port = urlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port)
        return std::nullopt;
    return Origin{lowerCase(*scheme), lowerCase(*host), *port};
}

// Scheme, host and port go to curl's URL handle one by one, which checks the host and writes the base
// URL; the path follows it escaped, so that it cannot be read as anything but the path and its query.
// Curl's setter for the path and query parts would turn "%3A" into "%3a": servers may compare the query
// text as it stands.
std::optional<Place> buildUrl(const HttpTarget& target) {
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    const std::string port = std::to_string(target.port);
    if (!url || curl_url_set(url.get(), CURLUPART_SCHEME, schemeName(target.scheme), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_HOST, target.host.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PATH, "/", 0) != CURLUE_OK)
        return std::nullopt;
    std::optional<std::string> base = urlPart(url.get(), CURLUPART_URL);
    std::optional<Origin> origin = originOf(url.get());
    if (!base || !origin || !base->ends_with('/'))
        return std::nullopt;
    base->pop_back();
    *base += target.path.empty() ? std::string("/") : escapeForRequestLine(target.path);
    return Place{std::move(*base), std::move(*origin)};
}

// A redirect's place, without any user name, password or fragment the server wrote into it.
std::optional<Place> readRedirect(const std::string& location) {
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    for (const CURLUPart part : {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS, CURLUPART_FRAGMENT})
        curl_url_set(url.get(), part, nullptr, 0);
    std::optional<std::string> whole = urlPart(url.get(), CURLUPART_URL);
    std::optional<Origin> origin = originOf(url.get());
    if (!whole || !origin)
        return std::nullopt;
    return Place{std::move(*whole), std::move(*origin)};
}

// A redirect: a status of 3xx with a place to go. Known as soon as the answer's head is in, so that its
// body, which answers nothing, can be skipped.
bool isRedirect(CURL* easy) {
    long status = 0;
    curl_header* location = nullptr;
    return curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status / 100 == 3 &&
           curl_easy_header(easy, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK;
}

// The place a redirect leads to, as an absolute URL; known once its answer has ended, and empty when
// curl could not make one of it.
std::string redirectPlace(CURL* easy) {
    char* place = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &place) != CURLE_OK || !place)
        return {};
    return place;
}

struct Transfer {
    const HttpTransport::ChunkSink& sink;
    const std::stop_token& stop;
    CURL* easy = nullptr;
    // HTTP and HTTPS, which have a status and redirects; the body of a redirect is skipped, as it is no
    // answer to the request.
    bool isHttp = false;
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
    if (transfer.isHttp && isRedirect(transfer.easy))
        return bytes;
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
    // Redirects are followed here, hop by hop, as only the program can tell where they may lead.
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(options.timeouts.connectMs, 0)));
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

// One request on the handle, to its end. True when its answer came whole, so that a redirect in it may
// be followed.
bool runOnce(CURLM* multi, CURL* easy, const HttpTimeouts& timeouts, Transfer& transfer,
             const std::stop_token& stop, HttpResult& result) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        result = failed(CURLE_FAILED_INIT);
        return false;
    }
    const TransferEnd end = runTransfer(multi, timeouts, transfer, stop);
    long status = 0;
    if (transfer.isHttp && curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        result.status = static_cast<int>(status);
    // A transfer that the caller ended has not failed.
    if (!stop.stop_requested() && !transfer.endedByCaller) {
        if (end.multiCode != CURLM_OK)
            result.failure = curl_multi_strerror(end.multiCode);
        else if (end.code != CURLE_OK)
            result.failure = describeFailure(easy, end.code);
    }
    curl_multi_remove_handle(multi, easy);
    return result.failure.empty() && !stop.stop_requested() && !transfer.endedByCaller;
}

// A redirect may lead to another path of the same server, or from HTTP up to HTTPS on the same host;
// anything else would hand the station's request, and what it tells, to someone the operator never
// named. Host names are compared as written: "localhost" is not "127.0.0.1".
bool mayFollow(const Origin& from, const Origin& to) {
    if (to.host != from.host)
        return false;
    return (to.scheme == from.scheme && to.port == from.port) ||
           (from.scheme == "http" && to.scheme == "https");
}

constexpr int maxRedirects = 10;

// Runs the request on the handle and each redirect that may be followed, to the end of the last.
HttpResult followRedirects(CURLM* multi, CURL* easy, const Origin& start, const HttpTimeouts& timeouts,
                           Transfer& transfer, const std::stop_token& stop) {
    Origin here = start;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeouts.totalMs);
    for (int redirects = 0;; ++redirects) {
        // The whole time-out bounds all the requests together.
        if (timeouts.totalMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return failed(CURLE_OPERATION_TIMEDOUT);
            curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
        }
        HttpResult result;
        if (!runOnce(multi, easy, timeouts, transfer, stop, result) || !transfer.isHttp || !isRedirect(easy))
            return result;
        if (redirects == maxRedirects)
            return {result.status, curl_easy_strerror(CURLE_TOO_MANY_REDIRECTS)};
        const std::optional<Place> next = readRedirect(redirectPlace(easy));
        if (!next || !mayFollow(here, next->origin))
            return {result.status,
                    "Redirect to " + (next ? next->origin.text() : "an unreadable address") + " refused"};
        // The user and password were given for the first place only, as curl's own rule has it.
        if (next->origin != start) {
            curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr);
            curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr);
        }
        if (curl_easy_setopt(easy, CURLOPT_URL, next->url.c_str()) != CURLE_OK)
            return failed(CURLE_URL_MALFORMAT);
        here = next->origin;
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
    const std::optional<Place> start = buildUrl(target);
    if (!start)
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
    if (!easy || !multi)
        return failed(CURLE_FAILED_INIT);
    Transfer transfer{sink, stop, easy.get(), target.scheme != HttpScheme::Ftp};
    if (const CURLcode refused = configure(easy.get(), start->url, headers.get(), target, options, transfer);
        refused != CURLE_OK)
        return failed(refused);
    return followRedirects(multi.get(), easy.get(), start->origin, options.timeouts, transfer, stop);
}

} // namespace quietmon
