#include "toolkit/core/grid_services.h"

namespace {

oxGridServices g_defaultServices;
oxGridServices* g_services = &g_defaultServices;

} // namespace

oxGridServices& oxGetGridServices() {
    return *g_services;
}

void oxSetGridServices(oxGridServices* services) {
    g_services = services ? services : &g_defaultServices;
}
