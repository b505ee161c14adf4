#include "input/pulse_sources.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>

#include "input/pulse_output.h"

namespace {

// What the server answers: the devices of one kind and the default's name.
struct Listing {
    std::vector<std::pair<std::string, std::string>> devices;  // name, description
    std::string defaultSource, defaultSink;
    int pending = 0;
};

template <typename Info>
void OnDevice(pa_context*, const Info* info, int eol, void* user)
{
    auto* listing = static_cast<Listing*>(user);
    if (eol != 0) {
        --listing->pending;
        return;
    }
    listing->devices.emplace_back(info->name, info->description ? info->description : "");
}

void OnServer(pa_context*, const pa_server_info* info, void* user)
{
    auto* listing = static_cast<Listing*>(user);
    if (info && info->default_source_name)
        listing->defaultSource = info->default_source_name;
    if (info && info->default_sink_name)
        listing->defaultSink = info->default_sink_name;
    --listing->pending;
}

// Asks the server for its devices through `ask` on a loop of its own, three
// seconds at most; false, with the server's message, when it does not answer.
bool AskServer(Listing& listing, const std::function<pa_operation*(pa_context*, Listing*)>& ask, std::string& problem)
{
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tavimeter");
    bool ok = pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    bool requested = false;
    while (ok && std::chrono::steady_clock::now() < deadline) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (!PA_CONTEXT_IS_GOOD(state)) {
            ok = false;
            break;
        }
        if (state == PA_CONTEXT_READY && !requested) {
            requested = true;
            listing.pending = 2;
            pa_operation_unref(pa_context_get_server_info(context, OnServer, &listing));
            pa_operation_unref(ask(context, &listing));
        }
        if (requested && listing.pending == 0)
            break;
        pa_mainloop_prepare(loop, 50000);
        pa_mainloop_poll(loop);
        pa_mainloop_dispatch(loop);
    }
    if (!ok || !requested || listing.pending != 0) {
        problem = pa_strerror(pa_context_errno(context));
        ok = false;
    }
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return ok;
}

} // namespace

bool ListPulseSources(std::vector<PulseSource>& sources, std::string& problem)
{
    Listing listing;
    const bool ok = AskServer(
        listing,
        [](pa_context* c, Listing* l) { return pa_context_get_source_info_list(c, OnDevice<pa_source_info>, l); },
        problem);
    for (const auto& [name, description] : listing.devices)
        sources.push_back({name, description, name == listing.defaultSource});
    return ok;
}

bool ListPulseSinks(std::vector<PulseSink>& sinks, std::string& problem)
{
    Listing listing;
    const bool ok = AskServer(
        listing, [](pa_context* c, Listing* l) { return pa_context_get_sink_info_list(c, OnDevice<pa_sink_info>, l); },
        problem);
    for (const auto& [name, description] : listing.devices)
        sinks.push_back({name, description, name == listing.defaultSink});
    return ok;
}
