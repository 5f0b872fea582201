#pragma once
// URL monikers: a URL bound asynchronously to a stream. `http`, `https` and `file` URLs download
// on the message loop of the thread that binds them; the bind-status callback hears of the start
// at once, and of data and the end from the loop, never inside the binding call. Data arrives in
// order in one stream that grows; the last notification carries the whole content at position 0.
// An aborted binding ends at once with E_ABORT and calls nothing afterwards. Downloads have a size
// cap and an inactivity time-out (below).
#include "platform/com/stream.h"
#include "platform/com/unknown.h"

// Bind flags.
constexpr DWORD BINDF_ASYNCHRONOUS = 0x1;
constexpr DWORD BINDF_ASYNCSTORAGE = 0x2;
constexpr DWORD BINDF_NO_UI = 0x800;
constexpr DWORD BINDF_SILENTOPERATION = 0x1000;
constexpr DWORD BINDF_FROMURLMON = 0x100000;

// Data notification flags.
constexpr DWORD BSCF_FIRSTDATANOTIFICATION = 0x1;
constexpr DWORD BSCF_INTERMEDIATEDATANOTIFICATION = 0x2;
constexpr DWORD BSCF_LASTDATANOTIFICATION = 0x4;
constexpr DWORD BSCF_DATAFULLYAVAILABLE = 0x8;

constexpr DWORD TYMED_ISTREAM = 4;

constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT MK_S_ASYNCHRONOUS = 0x000401E8;
constexpr HRESULT MK_E_SYNTAX = static_cast<HRESULT>(0x800401E4);
constexpr HRESULT INET_E_INVALID_URL = static_cast<HRESULT>(0x800C0002);
constexpr HRESULT INET_E_CANNOT_CONNECT = static_cast<HRESULT>(0x800C0004);
constexpr HRESULT INET_E_RESOURCE_NOT_FOUND = static_cast<HRESULT>(0x800C0005);
constexpr HRESULT INET_E_OBJECT_NOT_FOUND = static_cast<HRESULT>(0x800C0006);
constexpr HRESULT INET_E_DOWNLOAD_FAILURE = static_cast<HRESULT>(0x800C0008);
constexpr HRESULT INET_E_CONNECTION_TIMEOUT = static_cast<HRESULT>(0x800C000B);
constexpr HRESULT INET_E_UNKNOWN_PROTOCOL = static_cast<HRESULT>(0x800C000D);
constexpr HRESULT INET_E_SECURITY_PROBLEM = static_cast<HRESULT>(0x800C000E);

extern const IID IID_IBinding;
extern const IID IID_IBindStatusCallback;
extern const IID IID_IBindCtx;
extern const IID IID_IMoniker;

struct FORMATETC {
    WORD cfFormat;
    void* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM {
    DWORD tymed;
    IStream* pstm;
    IUnknown* pUnkForRelease;
};

struct BINDINFO {
    ULONG cbSize;
    LPWSTR szExtraInfo;
    DWORD grfBindInfoF;
    DWORD dwBindVerb;
    LPWSTR szCustomVerb;
    DWORD cbstgmedData;
};

struct IBinding : IUnknown {
    // Ends the binding now: the callback hears OnStopBinding(E_ABORT) before this returns.
    virtual HRESULT Abort() = 0;

protected:
    ~IBinding() = default;
};

struct IBindStatusCallback : IUnknown {
    virtual HRESULT OnStartBinding(DWORD reserved, IBinding* binding) = 0;
    virtual HRESULT GetPriority(LONG* priority) = 0;
    virtual HRESULT OnLowResource(DWORD reserved) = 0;
    virtual HRESULT OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) = 0;
    virtual HRESULT OnStopBinding(HRESULT result, LPCWSTR error) = 0;
    virtual HRESULT GetBindInfo(DWORD* flags, BINDINFO* info) = 0;
    // A failure (E_ABORT) from the callback ends the binding with that result.
    virtual HRESULT OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT OnObjectAvailable(REFIID riid, IUnknown* object) = 0;

protected:
    ~IBindStatusCallback() = default;
};

// Carries the bind-status callback to the moniker.
struct IBindCtx : IUnknown {
protected:
    ~IBindCtx() = default;
};

struct IMoniker : IUnknown {
    // IID_IStream only. Starts the download and answers MK_S_ASYNCHRONOUS with no stream; the
    // callback's GetBindInfo and OnStartBinding run before this returns.
    virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID riid, void** out) = 0;

protected:
    ~IMoniker() = default;
};

// MK_E_SYNTAX for an empty URL, INET_E_UNKNOWN_PROTOCOL for schemes other than http, https, file.
HRESULT CreateURLMonikerEx(IMoniker* base, LPCWSTR url, IMoniker** out, DWORD flags);
HRESULT CreateAsyncBindCtx(DWORD reserved, IBindStatusCallback* callback, void* formats, IBindCtx** out);

namespace platform::net {
// Limits of every download. Content that would pass kMaxDownloadBytes once decoded (an endless
// body, a compression bomb) ends the binding with INET_E_DOWNLOAD_FAILURE; a binding that receives
// no content for kDownloadIdleTimeoutMs (on the loop's clock) ends with INET_E_CONNECTION_TIMEOUT.
constexpr size_t kMaxDownloadBytes = 32 * 1024 * 1024;
constexpr DWORD kDownloadIdleTimeoutMs = 60000;

// Ends every transfer of the calling thread, bindings and XMLHTTP requests alike, without calling
// their callbacks (only releasing them), so nothing they hold outlives the program's teardown.
// Answers how many were running.
int CancelAllBindings();
// Transfers of the calling thread still running.
int RunningBindings();
} // namespace platform::net
