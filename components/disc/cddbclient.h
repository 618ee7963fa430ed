#pragma once
// The CD database over HTTP (protocol level 6) and its local cache. Blocking
// calls with one deadline for the whole lookup, usable from any thread: a
// window runs the online lookup on a worker so it never freezes.

#include <optional>
#include <string>

#include "components/disc/cddbtext.h"

struct CddbServer {
    std::string host = "gnudb.gnudb.org";
    int port = 80;
    std::string script = "/~cddb/cddb.cgi";
    int timeoutMs = 15000;
};

// The port of a settings text; anything that is not a port number gives 80.
int CddbPortOfText(const std::string& text);

inline constexpr std::size_t CddbAnswerLimit = 1024 * 1024;

struct CddbLookup {
    std::optional<CddbRecord> record;
    std::string category;
    std::string discId;
    int code = 0;       // the query's answer code (202: no match)
    std::string error;  // why nothing came: network, deadline, size, malformed
};

// Query, then read the first match, within server.timeoutMs in all. A found
// record is stored in the cache under cacheFolder.
CddbLookup CddbLookupOnline(const CddbServer& server, const CdTableOfContents& toc, const std::string& cacheFolder);

// The cached record of this disc: <cacheFolder>/<category>/<disc id>, the
// categories tried in the protocol's order.
std::optional<CddbRecord> CddbLookupCache(const CdTableOfContents& toc, const std::string& cacheFolder);

// <data root>/cddb
std::string CddbCacheFolder();

// One HTTP/1.0 GET of server.script + "?" + query, answered within
// deadlineMs; the body, or nothing with *error set (no connection, a status
// other than 200, the deadline, more than CddbAnswerLimit bytes).
std::optional<std::string> CddbHttpGet(const CddbServer& server, const std::string& query, int deadlineMs,
                                       std::string* error);
