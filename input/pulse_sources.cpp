#include "input/pulse_sources.h"

#include <pulse/pulseaudio.h>

#include <chrono>

namespace {

struct Listing {
    std::vector<PulseSource>* sources = nullptr;
    std::string defaultSource;
    int pending = 0;
    bool failed = false;
};

void OnSource(pa_context*, const pa_source_info* info, int eol, void* user)
{
    auto* listing = static_cast<Listing*>(user);
    if (eol != 0) {
        --listing->pending;
        return;
    }
    listing->sources->push_back({info->name, info->description ? info->description : "", false});
}

void OnServer(pa_context*, const pa_server_info* info, void* user)
{
    auto* listing = static_cast<Listing*>(user);
    if (info && info->default_source_name)
        listing->defaultSource = info->default_source_name;
    --listing->pending;
}

} // namespace

bool ListPulseSources(std::vector<PulseSource>& sources, std::string& problem)
{
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tavimeter");
    Listing listing;
    listing.sources = &sources;
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
            pa_operation_unref(pa_context_get_source_info_list(context, OnSource, &listing));
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
    for (PulseSource& source : sources)
        source.isDefault = source.name == listing.defaultSource;
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return ok;
}
