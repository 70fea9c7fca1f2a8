#include "platform/Wayland.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace pictorelle {
namespace {

struct GlobalSearch {
    const wl_interface* interface = nullptr;
    uint32_t maxVersion = 1;
    void* bound = nullptr;
    uint32_t version = 0;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t offered) {
    auto* search = static_cast<GlobalSearch*>(data);
    if (search->bound || std::strcmp(interface, search->interface->name) != 0) return;
    search->version = std::min(offered, search->maxVersion);
    search->bound = wl_registry_bind(registry, name, search->interface, search->version);
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

} // namespace

bool WaylandDisplayReachable() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return false;
    wl_display_disconnect(display);
    return true;
}

wl_display* QtWaylandDisplay() {
    QPlatformNativeInterface* native =
        qGuiApp ? QGuiApplication::platformNativeInterface() : nullptr;
    return native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
                  : nullptr;
}

void* BindWaylandGlobal(wl_display* display, wl_event_queue* queue, const wl_interface& interface,
                        uint32_t maxVersion, uint32_t* version) {
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    GlobalSearch search{&interface, maxVersion};
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_registry_add_listener(registry, &kRegistryListener, &search);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    if (version) *version = search.version;
    return search.bound;
}

} // namespace pictorelle
