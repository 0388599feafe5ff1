#pragma once
// libcurl, loaded at the first download rather than at the program's start (a window that
// never downloads never loads it): the few functions the download calls, resolved once
// from the shared library, and each thread's own handles.
#include <curl/curl.h>

namespace L_CURL {

// The functions, by libcurl's names without the "curl_" prefix.
struct Api {
    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_reset) easy_reset;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_getinfo) easy_getinfo;
    decltype(&curl_easy_strerror) easy_strerror;
    decltype(&curl_multi_init) multi_init;
    decltype(&curl_multi_cleanup) multi_cleanup;
    decltype(&curl_multi_add_handle) multi_add_handle;
    decltype(&curl_multi_remove_handle) multi_remove_handle;
    decltype(&curl_multi_perform) multi_perform;
    decltype(&curl_multi_poll) multi_poll;
    decltype(&curl_multi_info_read) multi_info_read;
    decltype(&curl_slist_append) slist_append;
    decltype(&curl_slist_free_all) slist_free_all;
};

// The functions of libcurl (version 4: libcurl.so.4, libcurl.dll), loaded and set up
// (curl_global_init) at the first call of any thread; null, ever after, when the library
// is missing, lacks one of them or cannot be set up.
const Api *Curl();

// The calling thread's multi and easy handle, made at its first call and cleaned up when
// the thread ends: its requests reuse connections, DNS answers and TLS sessions. Null
// handles when libcurl cannot start.
struct Handles {
    CURLM *multi = nullptr;
    CURL *easy = nullptr;
};
Handles ThreadHandles();

} // namespace L_CURL
