#pragma once
// What an automation call reports about the exception it raised (DISP_E_EXCEPTION).
#include "platform/com/bstr.h"

using SCODE = LONG;

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};
