/* Gives a headless sway seat a pointer. A compositor without input devices offers its clients
 * no pointer at all, so `swaymsg seat - cursor ...` would reach nobody; a virtual pointer device
 * (wlroots' virtual-pointer protocol) makes the seat one, for as long as this program runs.
 * It prints "ready" once the device exists and then waits to be killed. Only the one request
 * it sends is described here, which is all the marshalling needs. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

static const struct wl_interface virtual_pointer_interface = {
    "zwlr_virtual_pointer_v1", 1, 0, NULL, 0, NULL};

static const struct wl_interface *create_types[] = {&wl_seat_interface,
                                                    &virtual_pointer_interface};
static const struct wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", create_types}};
static const struct wl_interface manager_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, manager_requests, 0, NULL};

static struct wl_proxy *manager;

static void on_global(void *data, struct wl_registry *registry, uint32_t name,
                      const char *interface, uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, manager_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &manager_interface, 1);
}

static void on_global_remove(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

int main(void) {
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "virtual_pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "virtual_pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    wl_proxy_marshal_constructor(manager, 0, &virtual_pointer_interface, NULL, NULL);
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
