#include "map_service/L_CURL.h"

#include <QLibrary>

namespace L_CURL {

namespace {

// Resolves one function; false when the library lacks it.
template <typename Function> bool Resolve(QLibrary &library, const char *name, Function &f) {
    f = reinterpret_cast<Function>(library.resolve(name));
    return f != nullptr;
}

const Api *Load() {
    // Never unloaded (a QLibrary does not unload as it is destroyed): the threads' handles
    // are cleaned up through it until the process ends.
    static QLibrary library(QStringLiteral("libcurl"), 4);
    static Api api;
    const bool resolved = Resolve(library, "curl_global_init", api.global_init) &&
                          Resolve(library, "curl_easy_init", api.easy_init) &&
                          Resolve(library, "curl_easy_cleanup", api.easy_cleanup) &&
                          Resolve(library, "curl_easy_reset", api.easy_reset) &&
                          Resolve(library, "curl_easy_setopt", api.easy_setopt) &&
                          Resolve(library, "curl_easy_getinfo", api.easy_getinfo) &&
                          Resolve(library, "curl_easy_strerror", api.easy_strerror) &&
                          Resolve(library, "curl_multi_init", api.multi_init) &&
                          Resolve(library, "curl_multi_cleanup", api.multi_cleanup) &&
                          Resolve(library, "curl_multi_add_handle", api.multi_add_handle) &&
                          Resolve(library, "curl_multi_remove_handle", api.multi_remove_handle) &&
                          Resolve(library, "curl_multi_perform", api.multi_perform) &&
                          Resolve(library, "curl_multi_poll", api.multi_poll) &&
                          Resolve(library, "curl_multi_info_read", api.multi_info_read) &&
                          Resolve(library, "curl_slist_append", api.slist_append) &&
                          Resolve(library, "curl_slist_free_all", api.slist_free_all);
    return resolved && api.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK ? &api : nullptr;
}

// The handles of one thread, cleaned up as the thread ends.
struct Owner {
    Handles handles;
    bool made = false;
    ~Owner() {
        const Api *api = Curl();
        if (!api) return;
        if (handles.easy) api->easy_cleanup(handles.easy);
        if (handles.multi) api->multi_cleanup(handles.multi);
    }
};

} // namespace

const Api *Curl() {
    static const Api *const api = Load(); // once, whichever thread comes first
    return api;
}

Handles ThreadHandles() {
    thread_local Owner owner;
    const Api *api = Curl();
    if (!owner.made && api) {
        owner.made = true;
        owner.handles.multi = api->multi_init();
        owner.handles.easy = owner.handles.multi ? api->easy_init() : nullptr;
    }
    return owner.handles.easy ? owner.handles : Handles();
}

} // namespace L_CURL
