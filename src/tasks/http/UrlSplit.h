#pragma once

#include "platform/HttpTransport.h"

#include <string>
#include <string_view>

namespace quietmon {

// Splits a query's URL into what the transport needs, by the program's own rules:
// - the scheme ("http://", "https://", "ftp://", any letter case) is read at the start only; without
//   one the text is taken as HTTP. Ports: 80, 443, 21;
// - the server part runs to the first "/" or "?"; everything after it is the path with its query, so a
//   URL given in a query ("...?to=http://other:81/") can change neither the scheme, the port nor the host;
// - port: the last ":" of the server part, unless it is the first character or the first "@" comes
//   after it (so not the one of "user:password@"); when 1 to 5 digits come right after it, they are the
//   port and are removed with the ":";
// - user and password: a ":" with an "@" after it in the server part; the text before the ":" is the
//   user, the text between them the password, and all up to the "@" is removed;
// - what remains of the server part is the host.
// Nothing is decoded: user, password and path go on as typed.
HttpTarget splitUrl(std::string_view url);

// The URL as typed, but without the "user:password@" that splitUrl finds: the scheme, the host, the
// port and the path with its query, for a log line that others may read.
std::string urlWithoutCredentials(std::string_view url);

} // namespace quietmon
