#pragma once

#include "platform/HttpTransport.h"

namespace quietmon {

// HTTP, HTTPS and FTP through libcurl. Curl gets the scheme, host and port as parts of its URL handle and
// the user and password as options of their own; the path follows escaped, so that curl cannot read any
// of it as another piece. Proxies come from the environment (http_proxy, https_proxy, no_proxy), as the
// system's other programs find them. Redirects are followed by this class, hop by hop and at most ten,
// only on the same host: to the same scheme and port, or from HTTP up to HTTPS. Any other redirect ends the
// request as a failure that names the refused place ("Redirect to http://other:80 refused"), before anything
// reaches it. The user and password go only to the scheme, host and port they were given for. Each call
// has its own handles, so calls from several threads do not meet.
class CurlHttpTransport final : public HttpTransport {
public:
    CurlHttpTransport();

    HttpResult get(const HttpTarget& target, const HttpGetOptions& options, std::stop_token stop,
                   const ChunkSink& sink) override;
};

} // namespace quietmon
