// A Wayland client that asks for every text copied after it started through data-control, as a
// clipboard history does, then closes its end of the pipe at once, before reading a byte; with
// --stall it keeps its end open and never reads from it, as a hung program would. It says
// "asked" on standard output each time it has asked.
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace {

struct Client {
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    bool stall = false;
    bool started = false;  // the text there before it started is no news
    std::vector<int> held; // the pipes it asked through and never reads, with --stall
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* client = static_cast<Client*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && client->seat == nullptr) {
        client->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        client->manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener RegistryListener{global, globalRemove};

void offerMime(void*, zwlr_data_control_offer_v1*, const char*) {}
const zwlr_data_control_offer_v1_listener OfferListener{offerMime};

void dataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    zwlr_data_control_offer_v1_add_listener(offer, &OfferListener, nullptr);
}

void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* client = static_cast<Client*>(data);
    if (offer == nullptr || !client->started) {
        return;
    }
    int ends[2];
    if (pipe(ends) != 0) {
        return;
    }
    zwlr_data_control_offer_v1_receive(offer, "text/plain;charset=utf-8", ends[1]);
    close(ends[1]);
    if (client->stall) {
        client->held.push_back(ends[0]);
    } else {
        close(ends[0]);
    }
    std::puts("asked");
    std::fflush(stdout);
}

void primarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
void finished(void*, zwlr_data_control_device_v1*) {}
const zwlr_data_control_device_v1_listener DeviceListener{dataOffer, selection, finished,
                                                          primarySelection};

} // namespace

int main(int argc, char* argv[])
{
    Client client;
    client.stall = argc > 1 && std::strcmp(argv[1], "--stall") == 0;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "data_control_reader: no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &RegistryListener, &client);
    wl_display_roundtrip(display);
    if (client.seat == nullptr || client.manager == nullptr) {
        std::fprintf(stderr, "data_control_reader: the compositor offers no data-control\n");
        return 1;
    }
    auto* device = zwlr_data_control_manager_v1_get_data_device(client.manager, client.seat);
    zwlr_data_control_device_v1_add_listener(device, &DeviceListener, &client);
    wl_display_roundtrip(display);
    client.started = true;
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
