#include "windowkit/disctoolservices.h"

namespace {
const DiscToolServices* g_services = nullptr;
}

void SetDiscToolServices(const DiscToolServices* services) { g_services = services; }

const DiscToolServices* CurrentDiscToolServices() { return g_services; }
