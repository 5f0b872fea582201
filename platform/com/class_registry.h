#pragma once
// Creating COM objects by class id: the layer's own classes (the JScript engine, and later the
// XMLHTTP request, the DOM document, the bind context) stand in a fixed table with their ProgIDs.
#include "platform/com/unknown.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_ALL = 0x17;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);

// Everything runs on one thread, so there is nothing to set up: both always succeed.
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();

// The class id registered under the ProgID (compared without regard to case); CO_E_CLASSSTRING and
// a zero id for an unknown or null ProgID.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);

// A fresh instance of the class, asked for `riid`. No aggregation (CLASS_E_NOAGGREGATION), and
// REGDB_E_CLASSNOTREG for a class nobody registered; *out is null on every failure.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** out);
