#pragma once
// The CD database over HTTP (protocol level 6) and its local cache. Blocking
// calls with one deadline for the whole lookup, usable from any thread: a
// window runs the online lookup on a worker so it never freezes.

#include <functional>
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
    std::string error;  // why nothing came: network, deadline, size, malformed, stopped
    // Why a found record could not be kept in the cache (it is still found).
    std::string cacheError;
};

// Asked now and then while a lookup waits: true ends it at once.
using CddbStopped = std::function<bool()>;

// Query, then read the first match, within server.timeoutMs in all. A found
// record is stored in the cache under cacheFolder; a cache that cannot take
// it is logged and the record is found all the same.
CddbLookup CddbLookupOnline(const CddbServer& server, const CdTableOfContents& toc, const std::string& cacheFolder,
                            const CddbStopped& stopped = {});

// The cached record of this disc: <cacheFolder>/<category>/<disc id>, the
// categories tried in the protocol's order.
std::optional<CddbRecord> CddbLookupCache(const CdTableOfContents& toc, const std::string& cacheFolder);

// <data root>/cddb
std::string CddbCacheFolder();

// One HTTP/1.0 GET of server.script + "?" + query, answered within
// deadlineMs; the body, or nothing with *error set (no connection, a status
// other than 200, the deadline, more than CddbAnswerLimit bytes).
// stopped, when given, is asked between short waits: a stop ends the call
// within a tenth of a second.
std::optional<std::string> CddbHttpGet(const CddbServer& server, const std::string& query, int deadlineMs,
                                       std::string* error, const CddbStopped& stopped = {});
