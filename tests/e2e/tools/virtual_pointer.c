/* Gives a headless sway seat a pointer and a keyboard. A compositor without input devices
 * offers its clients no pointer at all, so `swaymsg seat - cursor ...` would reach nobody; a
 * virtual pointer device (wlroots' virtual-pointer protocol) makes the seat one, for as long as
 * this program runs. The keyboard is there so that clients hold a keyboard before a key comes:
 * without one, the seat only gains a keyboard with wtype's own device, and the key wtype presses
 * reaches the focused client inside the keyboard's enter, never as a press of its own.
 * It prints "ready" once the devices exist and then waits to be killed. Only the requests it
 * sends are described here, which is all the marshalling needs. */
#define _GNU_SOURCE
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

static const struct wl_interface virtual_pointer_interface = {
    "zwlr_virtual_pointer_v1", 1, 0, NULL, 0, NULL};

static const struct wl_interface* create_types[] = {&wl_seat_interface, &virtual_pointer_interface};
static const struct wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", create_types}};
static const struct wl_interface manager_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, manager_requests, 0, NULL};

static const struct wl_message keyboard_requests[] = {{"keymap", "uhu", NULL}};
static const struct wl_interface virtual_keyboard_interface = {"zwp_virtual_keyboard_v1", 1, 1,
                                                               keyboard_requests,         0, NULL};
static const struct wl_interface* keyboard_create_types[] = {&wl_seat_interface,
                                                             &virtual_keyboard_interface};
static const struct wl_message keyboard_manager_requests[] = {
    {"create_virtual_keyboard", "on", keyboard_create_types}};
static const struct wl_interface keyboard_manager_interface = {
    "zwp_virtual_keyboard_manager_v1", 1, 1, keyboard_manager_requests, 0, NULL};

/* The compositor resolves the includes; US keys are all the tests type. */
static const char keymap[] = "xkb_keymap {\n"
                             "  xkb_keycodes { include \"evdev+aliases(qwerty)\" };\n"
                             "  xkb_types { include \"complete\" };\n"
                             "  xkb_compat { include \"complete\" };\n"
                             "  xkb_symbols { include \"pc+us+inet(evdev)\" };\n"
                             "};\n";

static struct wl_proxy *manager, *keyboard_manager, *seat;

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, manager_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &manager_interface, 1);
    else if (strcmp(interface, keyboard_manager_interface.name) == 0)
        keyboard_manager = wl_registry_bind(registry, name, &keyboard_manager_interface, 1);
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

int main(void) {
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "virtual_pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "virtual_pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    wl_proxy_marshal_constructor(manager, 0, &virtual_pointer_interface, NULL, NULL);
    if (keyboard_manager && seat) {
        struct wl_proxy* keyboard = wl_proxy_marshal_constructor(
            keyboard_manager, 0, &virtual_keyboard_interface, seat, NULL);
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        if (fd < 0 || write(fd, keymap, sizeof keymap) != (ssize_t)sizeof keymap) {
            fprintf(stderr, "virtual_pointer: cannot write the keymap\n");
            return 1;
        }
        /* 1: the XKB text format. */
        wl_proxy_marshal(keyboard, 0, 1u, fd, (uint32_t)sizeof keymap);
        close(fd);
    }
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
