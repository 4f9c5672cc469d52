#pragma once

#include "platform/HttpTransport.h"

#include <string>
#include <string_view>

namespace quietmon {

// Splits a query's URL into what the transport needs, by the program's own rules:
// - the scheme ("http://", "https://", "ftp://", any letter case) is read at the start only; without
//   one the text is taken as HTTP. Ports: 80, 443, 21;
// - user and password: a ":" with an "@" after it anywhere in the rest. They run to the last "@": the
//   text before the first ":" is the user, the text between it and that "@" the password, and all up to
//   that "@" is removed. A password is handed on undecoded, so it has no other way to hold an "@", "/",
//   "?" or "#" than as typed; a path or query is decoded by its server, so an "@" there is written "%40"
//   in an address that carries credentials;
// - the server part then runs to the first "/", "?" or "#"; everything after it is the path with its
//   query, so a URL given in a query ("...?to=http://other:81/") can change neither the scheme, the port
//   nor the host;
// - port: the last ":" of the server part, unless it is its first character; when 1 to 5 digits come
//   right after it, they are the port and are removed with the ":";
// - what remains of the server part is the host.
// Nothing is decoded: user, password and path go on as typed.
//
// `query`, when not empty, is the query text that follows the typed address after a "?": it joins the
// path and never counts for the credentials or the server, whatever it holds (its encoding leaves "@"
// as it is).
HttpTarget splitUrl(std::string_view address, std::string_view query = {});

// The address as typed, but without the "user:password@" that splitUrl finds (the scheme, then all that
// follows the "@"), and "?" and the query after it when there is one: for a log line or a message box
// that others may read. Not one byte of the user name or the password is left in it, whatever
// characters they hold.
std::string urlWithoutCredentials(std::string_view address, std::string_view query = {});

} // namespace quietmon
