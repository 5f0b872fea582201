#pragma once
// The script-engine interfaces: the engine (IActiveScript, IActiveScriptParse), the host's site
// through which the engine finds named objects (IActiveScriptSite), and the error it reports.
#include "platform/com/dispatch.h"

using SCRIPTSTATE = int;
constexpr SCRIPTSTATE SCRIPTSTATE_UNINITIALIZED = 0;
constexpr SCRIPTSTATE SCRIPTSTATE_STARTED = 1;
constexpr SCRIPTSTATE SCRIPTSTATE_CONNECTED = 2;
constexpr SCRIPTSTATE SCRIPTSTATE_DISCONNECTED = 3;
constexpr SCRIPTSTATE SCRIPTSTATE_CLOSED = 4;
constexpr SCRIPTSTATE SCRIPTSTATE_INITIALIZED = 5;

using SCRIPTTHREADID = DWORD;
constexpr SCRIPTTHREADID SCRIPTTHREADID_CURRENT = static_cast<SCRIPTTHREADID>(-1);
constexpr SCRIPTTHREADID SCRIPTTHREADID_ALL = static_cast<SCRIPTTHREADID>(-2);

using SCRIPTTHREADSTATE = int;
constexpr SCRIPTTHREADSTATE SCRIPTTHREADSTATE_NOTINSCRIPT = 0;
constexpr SCRIPTTHREADSTATE SCRIPTTHREADSTATE_RUNNING = 1;

// AddNamedItem flags.
constexpr DWORD SCRIPTITEM_ISVISIBLE = 0x2;
constexpr DWORD SCRIPTITEM_ISSOURCE = 0x4;
constexpr DWORD SCRIPTITEM_GLOBALMEMBERS = 0x8;
constexpr DWORD SCRIPTITEM_ISPERSISTENT = 0x40;
constexpr DWORD SCRIPTITEM_CODEONLY = 0x200;
constexpr DWORD SCRIPTITEM_NOCODE = 0x400;

// ParseScriptText flags.
constexpr DWORD SCRIPTTEXT_ISVISIBLE = 0x2;
constexpr DWORD SCRIPTTEXT_ISEXPRESSION = 0x20;
constexpr DWORD SCRIPTTEXT_ISPERSISTENT = 0x40;

// GetItemInfo return masks.
constexpr DWORD SCRIPTINFO_IUNKNOWN = 0x1;
constexpr DWORD SCRIPTINFO_ITYPEINFO = 0x2;

constexpr DWORD SCRIPTINTERRUPT_DEBUG = 0x1;
constexpr DWORD SCRIPTINTERRUPT_RAISEEXCEPTION = 0x2;

// The run failed and the site was told through OnScriptError.
constexpr HRESULT SCRIPT_E_REPORTED = static_cast<HRESULT>(0x80020101);

extern const IID IID_IActiveScript;
extern const IID IID_IActiveScriptParse;
extern const IID IID_IActiveScriptSite;
extern const IID IID_IActiveScriptError;
extern const CLSID CLSID_JScript;

struct IActiveScriptError : IUnknown {
    virtual HRESULT GetExceptionInfo(EXCEPINFO* info) = 0;
    // Zero-based line and character position in the text that failed.
    virtual HRESULT GetSourcePosition(DWORD* sourceContext, ULONG* line, LONG* charPosition) = 0;
    virtual HRESULT GetSourceLineText(BSTR* line) = 0;

protected:
    ~IActiveScriptError() = default;
};

struct IActiveScriptSite : IUnknown {
    virtual HRESULT GetLCID(LCID* lcid) = 0;
    virtual HRESULT GetItemInfo(LPCOLESTR name, DWORD returnMask, IUnknown** item, ITypeInfo** typeInfo) = 0;
    virtual HRESULT GetDocVersionString(BSTR* version) = 0;
    virtual HRESULT OnScriptTerminate(const VARIANT* result, const EXCEPINFO* info) = 0;
    virtual HRESULT OnStateChange(SCRIPTSTATE state) = 0;
    virtual HRESULT OnScriptError(IActiveScriptError* error) = 0;
    virtual HRESULT OnEnterScript() = 0;
    virtual HRESULT OnLeaveScript() = 0;

protected:
    ~IActiveScriptSite() = default;
};

struct IActiveScript : IUnknown {
    virtual HRESULT SetScriptSite(IActiveScriptSite* site) = 0;
    virtual HRESULT GetScriptSite(REFIID riid, void** out) = 0;
    virtual HRESULT SetScriptState(SCRIPTSTATE state) = 0;
    virtual HRESULT GetScriptState(SCRIPTSTATE* state) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT AddNamedItem(LPCOLESTR name, DWORD flags) = 0;
    virtual HRESULT AddTypeLib(REFGUID typeLib, DWORD major, DWORD minor, DWORD flags) = 0;
    // The global object for an empty or null name, else the code namespace of the named item.
    virtual HRESULT GetScriptDispatch(LPCOLESTR itemName, IDispatch** out) = 0;
    virtual HRESULT GetCurrentScriptThreadID(SCRIPTTHREADID* id) = 0;
    virtual HRESULT GetScriptThreadID(DWORD win32ThreadId, SCRIPTTHREADID* id) = 0;
    virtual HRESULT GetScriptThreadState(SCRIPTTHREADID id, SCRIPTTHREADSTATE* state) = 0;
    virtual HRESULT InterruptScriptThread(SCRIPTTHREADID id, const EXCEPINFO* info, DWORD flags) = 0;
    virtual HRESULT Clone(IActiveScript** out) = 0;

protected:
    ~IActiveScript() = default;
};

struct IActiveScriptParse : IUnknown {
    virtual HRESULT InitNew() = 0;
    virtual HRESULT AddScriptlet(LPCOLESTR defaultName, LPCOLESTR code, LPCOLESTR itemName, LPCOLESTR subItemName,
                                 LPCOLESTR eventName, LPCOLESTR delimiter, DWORD_PTR sourceContext, ULONG startingLine,
                                 DWORD flags, BSTR* name, EXCEPINFO* info) = 0;
    // Runs synchronously. With SCRIPTTEXT_ISEXPRESSION the completion value goes to *result.
    virtual HRESULT ParseScriptText(LPCOLESTR code, LPCOLESTR itemName, IUnknown* context, LPCOLESTR delimiter,
                                    DWORD_PTR sourceContext, ULONG startingLine, DWORD flags, VARIANT* result,
                                    EXCEPINFO* info) = 0;

protected:
    ~IActiveScriptParse() = default;
};
