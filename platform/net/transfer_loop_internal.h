#pragma once
// The calling thread's curl transfers, driven by its message loop: URL-moniker downloads and
// XMLHTTP requests take the same road. Each thread that transfers gets one multi handle whose
// sockets and timeout join what that thread's message loop waits on (AddWaitFd, a thread timer).
// Curl's own callbacks only record what happened; the loop tells the transfers after curl has
// returned, so a transfer's listeners may start, abort or end transfers freely.
#include <curl/curl.h>

#include "platform/win/module.h"

#define TANDU_CURL_FUNCTIONS(X)                                                                                        \
    X(curl_easy_cleanup)                                                                                               \
    X(curl_easy_escape)                                                                                                \
    X(curl_easy_getinfo)                                                                                               \
    X(curl_easy_init)                                                                                                  \
    X(curl_easy_setopt)                                                                                                \
    X(curl_easy_unescape)                                                                                              \
    X(curl_free)                                                                                                       \
    X(curl_global_init)                                                                                                \
    X(curl_multi_add_handle)                                                                                           \
    X(curl_multi_cleanup)                                                                                              \
    X(curl_multi_info_read)                                                                                            \
    X(curl_multi_init)                                                                                                 \
    X(curl_multi_remove_handle)                                                                                        \
    X(curl_multi_setopt)                                                                                               \
    X(curl_multi_socket_action)                                                                                        \
    X(curl_slist_append)                                                                                               \
    X(curl_slist_free_all)                                                                                             \
    X(curl_url)                                                                                                        \
    X(curl_url_cleanup)                                                                                                \
    X(curl_url_set)

namespace platform::net {

struct CurlLibrary {
    TANDU_CURL_FUNCTIONS(TANDU_FUNCTION_SLOT)
};
// libcurl, opened by the first transfer or address check rather than at the program's start (it
// brings TLS, Kerberos, LDAP and SSH libraries with it); null when it is not installed.
const CurlLibrary* OpenCurl();
// What OpenCurl opened, for code that holds a curl handle or has checked OpenCurl.
inline const CurlLibrary& Curl() {
    return *OpenCurl();
}

class Transfer {
public:
    // The loop holds a transfer while it is listed, and while it tells it something.
    virtual void Hold() = 0;
    virtual void Drop() = 0;
    // Curl recorded data (or headers) since the last call.
    virtual void DeliverPending() = 0;
    // Curl ended the transfer of `easy` with `code`; the transfer is still listed until it leaves.
    // A transfer that restarted meanwhile (another easy handle) ignores it.
    virtual void Complete(CURL* easy, CURLcode code) = 0;
    // Ends the transfer and leaves, telling nobody: the thread's transfers are being cancelled.
    virtual void Cancel() = 0;

protected:
    ~Transfer() = default;
};

// Adds the easy handle to the calling thread's loop, which holds the transfer until it leaves;
// false when curl refuses it.
bool JoinLoop(Transfer* transfer, CURL* easy);
// Takes the easy handle out of the loop and drops the loop's hold, which may be the last one:
// callers keep a hold of their own. False when the transfer was not listed.
bool LeaveLoop(Transfer* transfer, CURL* easy);

// The options every http(s) transfer of `url` shares: http and https only, redirects followed (from
// an https address to https addresses only), a connect time-out, certificates verified against the system's CA bundle
// plus the certificates of the file that TANDU_CA_FILE names, compressed answers decoded.
void ConfigureHttp(CURL* easy, const char* url);

// The thread's transfers of every kind.
int RunningTransfers();
// Cancels them all (Cancel); answers how many there were.
int CancelAllTransfers();

} // namespace platform::net
